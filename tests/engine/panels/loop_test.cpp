#include <gtest/gtest.h>

#include <QLCDNumber>
#include <QTest>
#include <tuple>

#include "recording_callbacks.h"

using namespace engine::testing;

// Only ticks reach the program in these tests: delivered.size() counts them.
TEST_F(EngineTest, TicksThatFallDueDuringAPopupComeOnceAfterItAndNothingElseNests) {
    const int h = loadQuiet();
    const long deferredBefore = engine::DeferredTicks();
    engine::SetPopupResponder([h](const engine::PopupRecord&) {
        for (int i = 0; i < 5; ++i) FireTimer(h, kTimer);
        ChooseMenuItem(h, "MenuCb");
        ChooseItem(h, kSelector, 2);
    });
    onTick = [] {
        onTick = nullptr;
        MessagePopup("Title", "Text");
    };
    FireTimer(h, kTimer);
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(engine::DeferredTicks() - deferredBefore, 5);

    // The five ticks become one, delivered once the popup's callback has ended.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(delivered.size(), 2u);
    EXPECT_EQ(deepest, 1);
}

TEST_F(EngineTest, TheLoopEndsOnceTheQuittingCallbackReturnsEvenFromAPopupThatIsFollowedByAnother) {
    QuitUserInterface(0);
    EXPECT_EQ(RunUserInterface(), 0);  // a quit before the loop: it returns at once
    EXPECT_FALSE(engine::QuitRequested());

    LoadPanel(0, "good.uir", 1);
    onTick = [] {
        if (delivered.size() == 3) QuitUserInterface(0);
        EXPECT_LE(delivered.size(), 3u);  // no tick after the quit
    };
    EXPECT_EQ(RunUserInterface(), 0);
    EXPECT_EQ(delivered.size(), 3u);

    delivered.clear();
    int popupsSeen = 0;
    engine::SetPopupResponder([&](const engine::PopupRecord&) {
        if (++popupsSeen == 1) QuitUserInterface(0);
    });
    onTick = [] {
        onTick = nullptr;
        MessagePopup("Error", "first");
        MessagePopup("Error", "second");
    };
    EXPECT_EQ(RunUserInterface(), 0);
    EXPECT_EQ(popupsSeen, 2);
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(deepest, 1);
}

struct PaintCounter : QObject {
    int n = 0;
    explicit PaintCounter(QObject* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        n += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(EngineTest, AThousandValuesBetweenTwoFramesPaintOnceShowingTheNewest) {
    const int h = loadQuiet();
    QWidget* window = engine::FindPanel(h)->window.get();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    QTest::qWait(100);  // the first frames
    auto* digits = engine::FindControl(h, kLarge)->widget->findChild<QLCDNumber*>();
    PaintCounter volts(engine::FindControl(h, kVolts)->widget), large(digits);
    for (int i = 1; i <= 1000; ++i) {
        ASSERT_EQ(SetCtrlVal(h, kVolts, 1.0 + i * 1e-9), 0);
        ASSERT_EQ(SetCtrlVal(h, kLarge, 2.0 + i * 1e-9), 0);
    }
    EXPECT_EQ(ShownText(h, kVolts), "1.0000 V");
    EXPECT_NE(digits->value(), 2.0);  // the digits are made for the frame, not on each value
    QTest::qWait(100);                // six frames at most
    EXPECT_EQ(volts.n, 1);
    EXPECT_EQ(large.n, 1);
    EXPECT_EQ(digits->value(), 2.0);
    // A value shown with the same text paints nothing; the next that changes it paints.
    for (const auto& [value, paints, text] :
         {std::tuple{0.00004, 1, "1.0000 V"}, std::tuple{0.5, 2, "1.5000 V"}}) {
        SetCtrlVal(h, kVolts, 1 + value);
        SetCtrlVal(h, kLarge, 2 + value);
        QTest::qWait(50);
        EXPECT_EQ(volts.n, paints) << value;
        EXPECT_EQ(large.n, paints) << value;
        EXPECT_EQ(ShownText(h, kVolts), text);
    }
}
