#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTest>

#include <cmath>

#include "engine/controls/controls.h"
#include "recording_callbacks.h"

using namespace engine::testing;

namespace {
int ticks() {
    return static_cast<int>(std::count_if(delivered.begin(), delivered.end(),
                                          [](auto& d) { return d.event == EVENT_TIMER_TICK; }));
}
}  // namespace

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
    EXPECT_EQ(ticks(), 1);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(commands, 0);
    EXPECT_EQ(delivered.size(), 1u);
    EXPECT_EQ(engine::DeferredTicks() - deferredBefore, 5);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Title");

    // The five ticks become one, delivered once the popup's callback has ended.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(ticks(), 2);
    EXPECT_EQ(deepest, 1);
}

TEST_F(EngineTest, ASlowTimerKeepsItsRateWhileAFastOnesCallbacksFillTheTime) {
    // The statistics timer beside scans that take most of the sampling period: its ticks that
    // fall due inside a scan come right after it, so each reading covers one period, not two.
    const int h = LoadPanel(0, "good.uir", 1);  // its timer runs every 10 ms
    onTick = [] { QTest::qSleep(8); };
    TimerControl slow;
    slow.setInterval(0.05);
    int slowTicks = 0;
    QObject::connect(&slow, &TimerControl::due, [&] { ++slowTicks; });
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    EXPECT_GE(slowTicks, 17);  // 20 due
    EXPECT_LE(slowTicks, 21);
    (void)h;
}

TEST_F(EngineTest, TimerIntervalsAreHeldBetweenAMicrosecondAndADay) {
    const int h = loadQuiet();
    for (const auto& [asked, held] :
         {std::pair{1e-12, 1e-6}, {5e-10, 1e-6}, {2e-6, 2e-6}, {1e10, 86400.0}, {1e300, 86400.0}}) {
        SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, asked);
        EXPECT_EQ(Interval(h, kTimer), held) << asked;
    }
    for (double ignored : {0.0, -1.0, std::nan("")}) {
        SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, ignored);
        EXPECT_EQ(Interval(h, kTimer), 86400.0);
    }
    // The shortest runs without dividing by zero, the longest without overflowing.
    SetCtrlAttribute(h, kTimer, ATTR_INTERVAL, 1e-12);
    engine::FindControl(h, kTimer)->widget->setProperty("running", true);
    onTick = [] { QTest::qSleep(2); };
    QTest::qWait(30);
    EXPECT_GT(ticks(), 0);
}

TEST_F(EngineTest, TheLoopRunsRealTicksAndEndsOnceTheQuittingCallbackReturns) {
    const int h = LoadPanel(0, "good.uir", 1);
    onTick = [] {
        if (ticks() == 3) QuitUserInterface(0);
        EXPECT_EQ(ticks() <= 3, true);  // no tick after the quit
    };
    EXPECT_EQ(RunUserInterface(), 0);
    EXPECT_EQ(ticks(), 3);
    EXPECT_EQ(deepest, 1);
    (void)h;
}

TEST_F(EngineTest, QuitFromInsideAPopupStillShowsALaterPopupThenEndsTheLoop) {
    const int h = LoadPanel(0, "good.uir", 1);
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
    EXPECT_EQ(engine::PopupLog().size(), 2u);
    EXPECT_EQ(ticks(), 1);
    (void)h;
}

TEST_F(EngineTest, AQuitBeforeTheLoopMakesItReturnAtOnce) {
    QuitUserInterface(0);
    EXPECT_EQ(RunUserInterface(), 0);
    EXPECT_FALSE(engine::QuitRequested());
}

TEST_F(EngineTest, APanelPaintsAtMostSixtyTimesASecondHoweverOftenItsControlsChange) {
    const int h = loadQuiet();
    DisplayPanel(h);
    QWidget* chart = engine::FindControl(h, kChart)->widget;
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            paints += e->type() == QEvent::Paint;
            return false;
        }
    } counter;
    chart->installEventFilter(&counter);
    QElapsedTimer clock;
    clock.start();
    int changes = 0;
    while (clock.elapsed() < 500) {
        const double scan[3] = {0.1 * (changes % 20), 1.0, 2.0};
        PlotStripChart(h, kChart, scan, 3, 0, 0, VAL_DOUBLE);
        SetCtrlVal(h, kVolts, 0.001 * changes++);
        QCoreApplication::processEvents();
    }
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_GT(changes, 200);
    EXPECT_GE(counter.paints, 1);
    EXPECT_LE(counter.paints, 60 * seconds + 2);
}
