#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLCDNumber>
#include <QTest>

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
    EXPECT_EQ(commands, 0);
    EXPECT_EQ(engine::DeferredTicks() - deferredBefore, 5);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Title");

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

// Counts the paints of a widget.
struct PaintCounter : QObject {
    int n = 0;
    explicit PaintCounter(QObject* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        n += e->type() == QEvent::Paint;
        return false;
    }
};

TEST_F(EngineTest, APanelPaintsAtMostSixtyFramesASecondEachShowingTheNewestValues) {
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
    EXPECT_EQ(Value(h, kVolts), 1.0 + 1000 * 1e-9);  // every digit, not the four shown
    EXPECT_EQ(Value(h, kLarge), 2.0 + 1000 * 1e-9);
    EXPECT_EQ(ShownText(h, kVolts), "1.0000 V");
    EXPECT_NE(digits->value(), 2.0);  // the digits are made for the frame, not on each value
    QTest::qWait(100);                // six frames at most
    EXPECT_EQ(volts.n, 1);
    EXPECT_EQ(large.n, 1);
    EXPECT_EQ(digits->value(), 2.0);

    // Values changing as fast as the loop turns.
    PaintCounter chart(engine::FindControl(h, kChart)->widget);
    QElapsedTimer clock;
    clock.start();
    int changes = 0;
    while (clock.elapsed() < 500) {
        const double scan[3] = {0.1 * (changes % 20), 1.0, 2.0};
        PlotStripChart(h, kChart, scan, 3, 0, 0, VAL_DOUBLE);
        SetCtrlVal(h, kVolts, 0.001 * changes++);
        QCoreApplication::processEvents();
    }
    EXPECT_GT(changes, 200);
    EXPECT_LE(chart.n, 60 * clock.elapsed() / 1000.0 + 2);
}
