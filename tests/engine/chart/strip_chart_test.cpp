// The strip chart as the operator uses it.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <cmath>
#include <functional>
#include <set>

#include "engine/chart/strip_chart.h"
#include "engine/display/number_text.h"
#include "engine/panels/dispatch.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

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
    // Point i of the ramp holds 0.1 t + 0.001 i (plus `offset`); scans are 0.01 s apart.
    void appendRamp(int scans, double offset = 0) {
        for (int i = 0; i < scans; ++i) {
            double scan[8];
            for (int t = 0; t < 8; ++t) scan[t] = offset + 0.1 * t + 0.001 * i;
            chart.appendScan(scan, 0.01 * taken++);
        }
    }
    int taken = 0;
    void focus() {
        chart.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&chart));
        chart.setFocus();
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

TEST_F(Chart, KeysAndLegendClicksSwitchWhatIsShownWhileTheDataGoesOn) {
    appendRamp(10);
    focus();
    const std::pair<std::function<void()>, std::function<bool()>> switches[] = {
        {[&] { QTest::keyClick(&chart, Qt::Key_3); }, [&] { return !chart.traceVisible(3); }},
        {[&] { QTest::mouseClick(&chart, Qt::LeftButton, {}, chart.legendEntry(2).center()); },
         [&] { return !chart.traceVisible(2); }},
        {[&] { QTest::keyClick(&chart, Qt::Key_A); }, [&] { return chart.autoscale(); }},
        {[&] { QTest::keyClick(&chart, Qt::Key_S); }, [&] { return chart.statisticsShown(); }},
        {[&] { QTest::keyClick(&chart, Qt::Key_Space); }, [&] { return chart.frozen(); }},
    };
    for (const auto& [press, switched] : switches) {
        press();
        EXPECT_TRUE(switched());
        appendRamp(5);
        press();
        EXPECT_FALSE(switched());
    }
    EXPECT_EQ(chart.data().size(), 35);
}

TEST_F(Chart, FrozenThePictureKeepsItsDataAndRefitsItToANewSpanOrSize) {
    appendRamp(20);
    chart.freezeButton()->click();
    EXPECT_EQ(chart.freezeButton()->text(), "Resume");
    appendRamp(100, 1.0);  // the live data goes on, a volt higher
    chart.setAutoscale(true);
    const struct {
        double span;
        QSize size;
    } refits[] = {{1, {600, 300}}, {0.1, {600, 300}}, {0.1, {900, 200}}, {10, {300, 300}}};
    for (const auto& [span, size] : refits) {
        chart.setSpan(span);
        chart.resize(size);
        const QRectF plot = chart.plotArea();
        // The newest frozen point at the right edge: point 19, trace 7 at 0.719 V.
        const StripChart::Readout r = chart.readoutAt(plot.right() - 0.5);
        EXPECT_EQ(r.time, "0.000 s") << span;
        ASSERT_EQ(r.values.size(), 8u);
        EXPECT_EQ(r.values[7].second, "CH7  0.7190 V") << span;
        EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0, 0.8})) << span;
    }
    // Saved, the frozen span is what is shown, times from its start.
    TempFolder dir;
    chart.setSpan(0.1);
    QString error;
    ASSERT_TRUE(chart.exportShown(QString::fromStdString(dir.path + "/span.csv"), error));
    const RecordedFile span(dir.path + "/span.csv");
    EXPECT_TRUE(span.mentions("the span shown, 0.1 s, frozen"));
    ASSERT_EQ(span.rows.size(), 11u);  // 0.09 s to 0.19 s, both ends
    EXPECT_EQ(span.rows.front()[0], "0.000000");
    EXPECT_EQ(span.rows.back()[0], "0.100000");
    for (int t = 0; t < 8; ++t)
        EXPECT_DOUBLE_EQ(std::stod(span.rows.back()[1 + t]), 0.019 + 0.1 * t);
    chart.freezeButton()->click();
    EXPECT_EQ(chart.readoutAt(chart.plotArea().right() - 0.5).values[7].second, "CH7  1.7990 V");
}

TEST_F(Chart, HoverReadsOutTheTimeAndValuesOfThePointUnderTheCursor) {
    appendRamp(100);
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

TEST_F(Chart, AutoscaleAndTheStatisticsFollowTheShownData) {
    appendRamp(10);  // trace 3 from 0.3000 to 0.3090 V
    EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0, 2.5}));  // the resource's
    chart.setAutoscale(true);
    EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0, 0.8}));  // the data: 0 to 0.709
    const auto lines = chart.statisticsLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3].second, "CH3  min 0.3000  max 0.3090  mean 0.3045  p-p 0.0090 V");
    EXPECT_TRUE(chart.legendToolTip(3).startsWith(lines[3].second));
}

TEST_F(Chart, ThePictureShowsEveryTraceInItsOwnColourAtScaleOneAndTwoAndSaves) {
    chart.setTraceCount(16);
    for (int i = 0; i < 100; ++i) {
        double scan[16];
        for (int t = 0; t < 16; ++t) scan[t] = 0.08 + 0.15 * t + 0.05 * std::sin(i * 0.2);
        chart.appendScan(scan, 0.01 * i);
    }
    std::set<QRgb> colours;
    for (int t = 0; t < 16; ++t) colours.insert(chart.traceColor(t).rgb());
    EXPECT_EQ(colours.size(), 16u);
    for (qreal scale : {1.0, 2.0}) {
        QImage image(chart.size() * scale, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        image.fill(Qt::magenta);
        chart.render(&image);
        EXPECT_EQ(colorPixels(image, Qt::magenta), 0) << "scale " << scale;
        for (int t = 0; t < 16; ++t)
            EXPECT_GT(colorPixels(image, chart.traceColor(t)), 40 * scale)
                << "trace " << t << " at scale " << scale;
    }
    TempFolder dir;
    QString error;
    for (const char* name : {"/chart.png", "/chart.svg"}) {
        ASSERT_TRUE(chart.savePicture(QString::fromStdString(dir.path + name), error)) << name;
        EXPECT_FALSE(QImage(QString::fromStdString(dir.path + name)).isNull()) << name;
    }
    EXPECT_FALSE(chart.savePicture(QString::fromStdString(dir.path + "/gone/c.png"), error));
}

TEST_F(Chart, NumbersFromOutsideAreHeldToWhatTheChartDrawsAndEveryPaintEnds) {
    const double nan = std::nan("");
    const struct {
        void (StripChart::*set)(double);
        double given;
        double (StripChart::*get)() const;
        double held;
    } setters[] = {
        {&StripChart::setSpan, 1e-300, &StripChart::span, 0.01},
        {&StripChart::setSpan, 1e300, &StripChart::span, 86400},
        {&StripChart::setSpan, nan, &StripChart::span, 86400},  // as it was
        {&StripChart::setResolution, 0, &StripChart::resolution, 1e-6},
        {&StripChart::setResolution, 1e9, &StripChart::resolution, 10},
        {&StripChart::setYMinimum, -1.7e308, &StripChart::yMinimum, -1e6},
        {&StripChart::setYMaximum, 1.7e308, &StripChart::yMaximum, 1e6},
        {&StripChart::setYMaximum, nan, &StripChart::yMaximum, 1e6},
    };
    for (const auto& c : setters) {
        (chart.*c.set)(c.given);
        EXPECT_EQ((chart.*c.get)(), c.held) << c.given;
    }
    // The shortest span over points taken far apart, and ranges that would leave the grid
    // without a step: each drawn, at least four converter steps wide.
    chart.setSpan(1e-300);
    chart.setResolution(0.0001);
    appendRamp(100);
    const struct {
        double low, high;
        std::pair<double, double> drawn;
    } ranges[] = {
        {1, 1.0000000000000002, {0.998779296875, 1.001220703125}},
        {-1.7e308, 1.7e308, {-1e6, 1e6}},
        {2.5, 2.5, {2.498779296875, 2.501220703125}},
        {3, -3, {-3, 3}},
    };
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (const auto& r : ranges) {
        chart.setYMinimum(r.low);
        chart.setYMaximum(r.high);
        EXPECT_EQ(chart.shownRange(), r.drawn) << r.low << ".." << r.high;
        const long before = chart.paints();
        chart.render(&image);
        EXPECT_EQ(chart.paints(), before + 1);
    }
    // The newest point still lies at the plot's right edge.
    EXPECT_EQ(chart.readoutAt(chart.plotArea().right() - 0.5).time, "0.000 s");
}

TEST_F(Chart, RecordAsksTheEngineAndShowsTheRecordingItIsTold) {
    QSignalSpy asked(&chart, &StripChart::recordRequested);
    focus();
    chart.recordButton()->click();
    QTest::keyClick(&chart, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(asked.count(), 2);
    EXPECT_FALSE(chart.recordButton()->isChecked());  // until the engine says it records
    chart.showRecording("/tmp/run.csv");
    EXPECT_TRUE(chart.recordButton()->isChecked());
    EXPECT_EQ(chart.recordButton()->text(), "\u25A0 Stop");
    chart.showRecording({});
    EXPECT_EQ(chart.recordButton()->text(), "\u25CF Record");
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
