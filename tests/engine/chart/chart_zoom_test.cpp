// A frozen chart zoomed and panned with the wheel, a drag and the keys, on scans stamped by a
// clock of the test's own: ten minutes from 1000 s, 10 ms apart.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWheelEvent>

#include "engine/chart/strip_chart.h"

TEST(ChartZoom, TheWheelADragAndTheKeysMoveAFrozenWindowAndResumeReturnsToTheLiveEdge) {
    StripChart chart;
    chart.setHistory(60000);
    chart.resize(800, 300);
    chart.show();
    for (int i = 0; i < 60000; ++i) {
        double scan[8] = {};
        scan[0] = (i % 2000) * 0.001;
        chart.appendScan(scan, 1000 + 0.01 * i);
    }
    chart.setFrozen(true);  // the last 10 s: 1589.99 to 1599.99
    const QRectF plot = chart.plotArea();
    auto wheel = [&](double x, int notches) {
        QWheelEvent e(QPointF(x, plot.center().y()), chart.mapToGlobal(QPointF(x, 50)), {},
                      {0, 120 * notches}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&chart, &e);
    };
    auto drag = [&](double dx) {
        const QPointF from = plot.center(), to = from + QPointF(dx, 0);
        QMouseEvent press(QEvent::MouseButtonPress, from, chart.mapToGlobal(from), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QMouseEvent move(QEvent::MouseMove, to, chart.mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, to, chart.mapToGlobal(to), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        for (QMouseEvent* e : {&press, &move, &release}) QApplication::sendEvent(&chart, e);
    };
    const struct {
        const char* what;
        std::function<void()> act;
        double start, end;
    } steps[] = {
        {"a notch in at the middle: 8 s around 1594.99", [&] { wheel(plot.center().x(), 1); },
         1590.99, 1598.99},
        {"dragged a quarter right: 2 s earlier", [&] { drag(plot.width() / 4); }, 1588.99, 1596.99},
        {"the left arrow: a tenth earlier", [&] { QTest::keyClick(&chart, Qt::Key_Left); }, 1588.19,
         1596.19},
        {"two notches out at the left edge", [&] { wheel(plot.left(), -2); }, 1588.19, 1600.69},
        {"minus: twice wider", [&] { QTest::keyClick(&chart, Qt::Key_Minus); }, 1581.24, 1606.24},
    };
    for (const auto& s : steps) {
        s.act();
        // Beyond the newest scan the window holds at it.
        const double end = std::min(s.end, 1599.99), start = end - (s.end - s.start);
        EXPECT_NEAR(chart.view().start(), start, 1e-6) << s.what;
        EXPECT_NEAR(chart.view().end(), end, 1e-6) << s.what;
        EXPECT_NEAR(chart.span(), end - start, 1e-6) << s.what;
        // The legend reads the scan at the right edge.
        EXPECT_NEAR(chart.shown().time(chart.legendPoint()), end, 0.01) << s.what;
    }
    chart.setFrozen(false);
    EXPECT_EQ(chart.span(), 10);
    EXPECT_EQ(chart.shownEnd(), chart.data().time(59999));
    EXPECT_EQ(chart.legendPoint(), 59999);
    wheel(plot.center().x(), 1);  // live, the wheel leaves the chart as it is
    EXPECT_EQ(chart.span(), 10);
}

TEST(ChartCursors, PlacedWithTheMouseAndKeysTheyReadTheValuesAndBoundTheStatistics) {
    // Trace CH0 steps from 0.5 V to 1.75 V at 2 s; CH1 falls 0.01 V a scan, 10 ms apart.
    StripChart chart;
    chart.setTraceCount(2);
    chart.setResolution(0.0001);
    chart.resize(800, 300);
    chart.show();
    for (int i = 0; i < 400; ++i) {
        const double scan[2] = {i < 200 ? 0.5 : 1.75, 2.0 - 0.01 * i};
        chart.appendScan(scan, 0.01 * i);
    }
    chart.setFrozen(true);
    chart.setSpan(4);  // -0.01 s to 3.99 s
    const QRectF plot = chart.plotArea();
    auto doubleClick = [&](double seconds) {  // between two scans: the one before is read
        const QPointF at(plot.left() + (seconds + 0.01) / 4 * plot.width(), plot.center().y());
        QMouseEvent e(QEvent::MouseButtonDblClick, at, chart.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&chart, &e);
    };
    doubleClick(1.995);
    EXPECT_EQ(chart.shown().time(chart.legendPoint()), 0.01 * 199);  // the legend at the cursor
    doubleClick(2.995);
    EXPECT_EQ(chart.cursorLines(), (QStringList{"1: 1.995 s  2: 2.995 s  dt 1.000 s  1/dt 1.000 Hz",
                                                "CH0  0.5000 V  1.7500 V  dV 1.2500 V",
                                                "CH1  0.0100 V  -0.9900 V  dV -1.0000 V"}));
    chart.setStatisticsShown(true);  // of scans 200 to 299 only
    const auto between = chart.statisticsLines();
    ASSERT_EQ(between.size(), 2u);
    EXPECT_EQ(between[0].second,
              "CH0  min 1.7500  max 1.7500  mean 1.7500  sd 0.0000  p-p 0.0000 V");
    EXPECT_EQ(between[1].second,
              "CH1  min -0.9900  max 0.0000  mean -0.4950  sd 0.2887  p-p 0.9900 V");
    chart.setTraceVisible(1, false);  // a hidden trace has no reading
    EXPECT_EQ(chart.cursorLines().size(), 2);

    QTest::keyClick(&chart, Qt::Key_C);  // the older cursor, 1, to the middle: 1.99 s
    EXPECT_NEAR(chart.cursors().first().value_or(0), 1.99, 1e-9);
    QTest::keyClick(&chart, Qt::Key_Right, Qt::ShiftModifier);  // one column later
    EXPECT_NEAR(chart.cursors().first().value_or(0), 1.99 + 4 / plot.width(), 1e-9);
    QTest::keyClick(&chart, Qt::Key_Escape);
    EXPECT_TRUE(chart.cursorLines().isEmpty());
    EXPECT_EQ(
        chart.statisticsLines()[0].second,
        "CH0  min 0.5000  max 1.7500  mean 1.1250  sd 0.6250  p-p 1.2500 V");  // the window's again
}
