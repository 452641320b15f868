// The strip chart as the operator uses it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QTest>
#include <QToolButton>
#include <set>

#include "engine/chart/strip_chart.h"
#include "engine/display/number_text.h"
#include "engine/panels/dispatch.h"

namespace {

struct Chart : ::testing::Test {
    void SetUp() override {
        chart.setTraceCount(8);
        chart.setHistory(100);
        chart.setResolution(0.0001);  // the ramp's values, exactly
        chart.resize(600, 300);
        engine::LimitFrames(&chart);  // as the chart's panel does
        chart.show();
    }
    void appendRamp(int scans) {
        for (int i = 0; i < scans; ++i) {
            double scan[8];
            for (int t = 0; t < 8; ++t) scan[t] = 0.1 * t + 0.001 * i;
            chart.appendScan(scan, 0.01 * i);
        }
    }
    StripChart chart;
};

int colorPixels(const QImage& image, const QColor& color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == color;
    return n;
}

}  // namespace

TEST_F(Chart, ALegendClickHidesAndShowsATraceWhileItsDataGoesOn) {
    appendRamp(10);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, chart.legendEntry(2).center());
    EXPECT_FALSE(chart.traceVisible(2));
    appendRamp(5);
    EXPECT_EQ(chart.data().size(), 15);
    EXPECT_EQ(chart.readoutAt(chart.plotArea().right() - 1).values.size(), 7u);
    QTest::mouseClick(&chart, Qt::LeftButton, {}, chart.legendEntry(2).center());
    EXPECT_TRUE(chart.traceVisible(2));
}

TEST_F(Chart, TracesAndTheRangeAreReachableFromTheKeyboard) {
    appendRamp(10);
    chart.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&chart));
    chart.setFocus();
    QTest::keyClick(&chart, Qt::Key_3);
    EXPECT_FALSE(chart.traceVisible(3));
    EXPECT_TRUE(chart.traceVisible(2));
    QTest::keyClick(&chart, Qt::Key_3);
    EXPECT_TRUE(chart.traceVisible(3));
    QTest::keyClick(&chart, Qt::Key_A);
    EXPECT_TRUE(chart.autoscale());
    QTest::keyClick(&chart, Qt::Key_A);
    EXPECT_FALSE(chart.autoscale());
    QTest::keyClick(&chart, Qt::Key_S);
    ASSERT_TRUE(chart.statisticsShown());
    // The ramp's ten points: trace 3 from 0.3000 to 0.3090 V.
    const auto lines = chart.statisticsLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3].second, "CH3  min 0.3000  max 0.3090  mean 0.3045  p-p 0.0090 V");
    // Pointing at the legend tells the same, for that channel alone.
    EXPECT_TRUE(chart.legendToolTip(3).startsWith(lines[3].second));
}

TEST_F(Chart, SpaceFreezesThePictureWhileTheDataGoesOnAndResumesAtTheLiveEdge) {
    appendRamp(20);
    chart.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&chart));
    QTest::keyClick(&chart, Qt::Key_Space);
    ASSERT_TRUE(chart.frozen());
    EXPECT_TRUE(chart.freezeButton()->isChecked());
    EXPECT_EQ(chart.freezeButton()->text(), "Resume");
    appendRamp(30);
    EXPECT_EQ(chart.data().size(), 50);
    EXPECT_EQ(chart.shown().size(), 20);
    chart.freezeButton()->click();
    EXPECT_FALSE(chart.frozen());
    EXPECT_EQ(chart.shown().size(), 50);
}

TEST_F(Chart, HoverReadsOutTheTimeAndValuesOfThePointUnderTheCursor) {
    appendRamp(100);  // point i holds 0.1 t + 0.001 i, taken at 0.01 i s
    chart.setSpan(1);
    const QRectF plot = chart.plotArea();
    // At the right edge, the newest point.
    StripChart::Readout r = chart.readoutAt(plot.right() - 0.5);
    EXPECT_EQ(r.time, "0.000 s");
    ASSERT_EQ(r.values.size(), 8u);
    EXPECT_EQ(r.values[3], (std::pair<int, QString>{3, "CH3  0.3990 V"}));
    // A quarter of the way in, three quarters of the 1 s span before it: point 24.
    r = chart.readoutAt(plot.left() + 0.25 * plot.width() + 1);
    EXPECT_EQ(r.time, "-0.750 s");
    EXPECT_EQ(r.values[3].second, "CH3  0.3240 V");
    // Left of the first point, and outside the plot, nothing.
    EXPECT_TRUE(chart.readoutAt(plot.left() + 1).time.isEmpty());
    EXPECT_EQ(chart.pointAt(plot.left() - 2), -1);
}

TEST_F(Chart, TheSpanIsTimeWhateverTheScanRate) {
    // 2 s of scans at 50/s, then 2 s at 500/s: over a 4 s span each takes half the width.
    chart.setHistory(2000);
    for (int i = 0; i < 100; ++i) {
        double scan[8] = {};
        chart.appendScan(scan, 0.02 * i);
    }
    for (int i = 0; i < 1000; ++i) {
        double scan[8] = {1.0};
        chart.appendScan(scan, 2.0 + 0.002 * i);
    }
    chart.setSpan(4);
    const QRectF plot = chart.plotArea();
    ASSERT_EQ(chart.readoutAt(plot.left() + 0.45 * plot.width()).values.size(), 8u);
    EXPECT_EQ(chart.readoutAt(plot.left() + 0.45 * plot.width()).values[0].second, "CH0  0.0000 V");
    EXPECT_EQ(chart.readoutAt(plot.left() + 0.55 * plot.width()).values[0].second, "CH0  1.0000 V");
    const QString time = chart.readoutAt(plot.left() + 0.55 * plot.width()).time;
    EXPECT_NEAR(time.chopped(2).toDouble(), -1.8, 0.02) << time.toStdString();
}

TEST_F(Chart, AutoscaleFollowsTheDataAndTheFixedRangeIsTheResources) {
    chart.setYMinimum(0);
    chart.setYMaximum(2.5);
    appendRamp(10);
    EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0, 2.5}));
    chart.setAutoscale(true);
    const auto [low, high] = chart.shownRange();  // the data: 0 to 0.709
    EXPECT_DOUBLE_EQ(low, 0.0);
    EXPECT_DOUBLE_EQ(high, 0.8);
}

TEST_F(Chart, ThePictureShowsEveryTraceInItsColourAtScaleOneAndTwo) {
    for (int i = 0; i < 100; ++i) {
        double scan[8];
        for (int t = 0; t < 8; ++t) scan[t] = 0.15 + 0.3 * t + 0.1 * std::sin(i * 0.2);
        chart.appendScan(scan, 0.01 * i);
    }
    for (qreal scale : {1.0, 2.0}) {
        QImage image(chart.size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::magenta);
        chart.render(&image);
        std::set<QRgb> distinct;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3) distinct.insert(image.pixel(x, y));
        EXPECT_GT(distinct.size(), 12u) << "scale " << scale;
        EXPECT_EQ(colorPixels(image, Qt::magenta), 0) << "scale " << scale;
        for (int t = 0; t < 8; ++t)
            EXPECT_GT(colorPixels(image, chart.traceColor(t)), 40 * scale)
                << "trace " << t << " at scale " << scale;
    }
}

TEST(NumberText, DrawsLiveValuesAsTheOrdinaryTextPathWould) {
    // The same label both ways, on the same font: the glyphs looked up once must land where
    // shaping the text would put them.
    QFont font;
    font.setPixelSize(14);
    for (const QString& text :
         {QString("CH3 1.2345 V"), QString("-0.0006 V"), QString("x\u00b2 1")}) {
        QImage expected(240, 30, QImage::Format_RGB32), drawn(240, 30, QImage::Format_RGB32);
        expected.fill(Qt::white);
        drawn.fill(Qt::white);
        const QRectF box(4, 2, 230, 26);
        {
            QPainter p(&expected);
            p.setFont(font);
            p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
        }
        {
            QPainter p(&drawn);
            p.setFont(font);
            engine::NumberText numbers;
            numbers.draw(p, box, Qt::AlignRight | Qt::AlignVCenter, text);
        }
        EXPECT_EQ(drawn, expected) << text.toStdString();
    }
}
