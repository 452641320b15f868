// The strip chart as the operator uses it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
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
    // Trace 7's readout at x, as hovering shows it; at the right edge, the newest point.
    QString trace7At(double x) const {
        const auto values = chart.readoutAt(x).values;
        return values.size() == 8 ? values[7].second : QString();
    }
    QString newest() const { return trace7At(chart.plotArea().right() - 0.5); }
    int taken = 0;
    StripChart chart;
};

int colorPixels(const QImage& image, const QColor& color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += image.pixelColor(x, y) == color;
    return n;
}

}  // namespace

TEST_F(Chart, KeysAndClicksSwitchWhatIsShownWhileTheDataGoesOnAndAskForARecording) {
    appendRamp(10);
    chart.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&chart));
    chart.setFocus();
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
    QSignalSpy asked(&chart, &StripChart::recordRequested);
    chart.recordButton()->click();
    QTest::keyClick(&chart, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(asked.count(), 2);
    EXPECT_FALSE(chart.recordButton()->isChecked());  // until the engine says it records
    chart.showRecording("/tmp/run.csv");
    EXPECT_EQ(chart.recordButton()->text(), "\u25A0 Stop");
}

TEST_F(Chart, FrozenThePictureKeepsItsDataAndRefitsItToANewSpanOrSize) {
    appendRamp(20);
    chart.freezeButton()->click();
    EXPECT_EQ(chart.freezeButton()->text(), "Resume");
    appendRamp(100, 1.0);  // the live data goes on, a volt higher
    EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0, 2.5}));  // the resource's
    chart.setAutoscale(true);  // to the frozen data: 0 to 0.719 V
    const struct {
        double span;
        QSize size;
    } refits[] = {{1, {600, 300}}, {0.1, {600, 300}}, {0.1, {900, 200}}, {10, {300, 300}}};
    for (const auto& [span, size] : refits) {
        chart.setSpan(span);
        chart.resize(size);
        // Frozen, times count from the first scan.
        EXPECT_EQ(chart.readoutAt(chart.plotArea().right() - 0.5).time, "0.190 s") << span;
        EXPECT_EQ(newest(), "CH7  0.7190 V") << span;  // frozen point 19
        EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0, 0.8})) << span;
    }
    const QRectF plot = chart.plotArea();  // hovered left of the first point, and outside
    EXPECT_TRUE(chart.readoutAt(plot.left() + 1).time.isEmpty());
    EXPECT_EQ(chart.pointAt(plot.left() - 2), -1);
    const auto lines = chart.statisticsLines();  // over 10 s: every frozen point
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[3].second, "CH3  min 0.3000  max 0.3190  mean 0.3095  sd 0.0058  p-p 0.0190 V");
    EXPECT_TRUE(chart.legendToolTip(3).startsWith(lines[3].second));
    chart.setSpan(0.1);  // a quarter of the way in, 0.075 s before the newest: point 11
    EXPECT_EQ(chart.readoutAt(plot.left() + 0.25 * plot.width() + 1).time, "0.110 s");
    EXPECT_EQ(trace7At(plot.left() + 0.25 * plot.width() + 1), "CH7  0.7110 V");
    // Saved, the frozen span is what is shown, times from the first scan: 0.09 s to 0.19 s.
    TempFolder dir;
    QString error;
    ASSERT_TRUE(chart.exportShown(QString::fromStdString(dir.path + "/span.csv"), error));
    const RecordedFile span(dir.path + "/span.csv");
    EXPECT_TRUE(span.mentions("the span shown, 0.1 s, frozen"));
    ASSERT_EQ(span.rows.size(), 11u);
    EXPECT_EQ(span.rows.front()[0], "0.090000");
    EXPECT_EQ(span.rows.back()[0], "0.190000");
    EXPECT_DOUBLE_EQ(std::stod(span.rows.back()[8]), 0.719);
    chart.freezeButton()->click();
    EXPECT_EQ(newest(), "CH7  1.7990 V");
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
            EXPECT_GT(colorPixels(image, chart.traceColor(t)), 40 * scale) << t << " at " << scale;
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
    const struct {
        void (StripChart::*set)(double);
        double given;
        double (StripChart::*get)() const;
        double held;
    } setters[] = {
        {&StripChart::setSpan, 1e-300, &StripChart::span, 0.01},
        {&StripChart::setSpan, 1e300, &StripChart::span, 86400},
        {&StripChart::setSpan, std::nan(""), &StripChart::span, 86400},  // as it was
        {&StripChart::setResolution, 0, &StripChart::resolution, 1e-6},
        {&StripChart::setResolution, 1e9, &StripChart::resolution, 10},
        {&StripChart::setYMinimum, -1.7e308, &StripChart::yMinimum, -1e6},
        {&StripChart::setYMaximum, 1.7e308, &StripChart::yMaximum, 1e6},
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
}

TEST(ChartFrames, FrameByFrameThePictureIsTheOneDrawnWhole) {
    // A chart painted after every few scans, drawing only the columns that changed and
    // scrolling its ring, shows what a chart drawing all at once shows from the same scans.
    const struct {
        double rate;   // scans a second
        int perFrame;  // scans between frames
        int frames;
        int hideAt;  // frame at which trace 2 is hidden (-1: never)
        int holeAt;  // frame after which a second passes without scans (-1: none)
        double scale;
        bool lanes = false;
    } cases[] = {
        {1000, 17, 700, -1, -1, 1},   // dense, past the span: the oldest shown column moves on
        {1000, 17, 200, 120, 60, 2},  // at twice the pixels, a trace hidden, a hole
        {20, 1, 300, -1, 100, 1},     // sparse: lines join the columns
        {60, 3, 400, 10, -1, 1},      // about a scan a column
        {1000, 17, 300, 120, 60, 2, true},  // a lane per trace
    };
    for (const auto& c : cases) {
        StripChart framed, whole;
        for (StripChart* chart : {&framed, &whole}) {
            chart->setTraceCount(8);
            chart->setHistory(100000);
            chart->resize(600, 300);
            chart->setLanes(c.lanes);
        }
        QImage picture(framed.size() * c.scale, QImage::Format_ARGB32_Premultiplied);
        picture.setDevicePixelRatio(c.scale);
        double t = 0;
        for (int f = 0, i = 0; f < c.frames; ++f) {
            if (f == c.hideAt) framed.setTraceVisible(2, false);
            for (int n = 0; n < c.perFrame; ++n, ++i) {
                double scan[8];
                for (int k = 0; k < 8; ++k)
                    scan[k] = 1.25 + std::sin(i * 0.07 + k) * (0.2 + 0.1 * k);
                const auto before = f == c.holeAt + 1 && n == 0 ? TraceHistory::Before::gap
                                                                : TraceHistory::Before::scans;
                if (before == TraceHistory::Before::gap) t += 1;
                framed.appendScan(scan, t, before);
                whole.appendScan(scan, t, before);
                t += 1 / c.rate;
            }
            framed.render(&picture);
        }
        if (c.hideAt >= 0) whole.setTraceVisible(2, false);
        QImage drawnWhole = picture;
        whole.render(&drawnWhole);
        EXPECT_TRUE(picture == drawnWhole) << c.rate << " scans/s at scale " << c.scale;
    }
}

TEST(ChartFrames, AFrameRepaintsTheLegendEntriesWhoseValuesChangedAndNoOthers) {
    struct Painted : QObject {
        QRegion region;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) region += static_cast<QPaintEvent*>(e)->region();
            return false;
        }
    } painted;
    StripChart chart;
    chart.setTraceCount(8);
    chart.resize(600, 300);
    chart.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    chart.installEventFilter(&painted);
    double scan[8] = {1, 1, 1, 1, 1, 1, 1, 1};
    const struct {
        std::vector<std::pair<int, double>> changes;  // trace, new value
        std::set<int> repainted;
    } steps[] = {
        {{{0, 1.0}}, {0, 1, 2, 3, 4, 5, 6, 7}},  // the first values
        {{{3, 1.5}}, {3}},
        {{{3, 1.50001}}, {}},  // shown to four decimals: the same text
        {{{0, 0.25}, {7, 2.0}}, {0, 7}},
    };
    for (const auto& step : steps) {
        for (const auto& [trace, value] : step.changes) scan[trace] = value;
        painted.region = {};
        chart.appendScan(scan, chart.shown().size() * 0.001);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !painted.region.isEmpty(); }, 1000));
        for (int t = 0; t < 8; ++t)
            EXPECT_EQ((QRegion(chart.legendEntry(t)) - painted.region).isEmpty(),
                      step.repainted.count(t) == 1)
                << "trace " << t << " at step " << &step - steps;
    }
}

TEST(NumberText, DrawsLiveValuesAsTheOrdinaryTextPathWould) {
    // The glyphs looked up once must land where shaping the text would put them.
    QFont font;
    font.setPixelSize(14);
    engine::NumberText numbers;
    for (const QString& text :
         {QString("CH3 1.2345 V"), QString("-0.0006 V"), QString("x\u00b2 1")}) {
        // Drawn the ordinary way, laid out from the glyphs, then again from the run kept.
        QImage images[3] = {QImage(240, 30, QImage::Format_RGB32),
                            QImage(240, 30, QImage::Format_RGB32),
                            QImage(240, 30, QImage::Format_RGB32)};
        for (int drawn = 0; drawn < 3; ++drawn) {
            images[drawn].fill(Qt::white);
            QPainter p(&images[drawn]);
            p.setFont(font);
            const QRectF box(4, 2, 230, 26);
            if (drawn)
                numbers.draw(p, box, Qt::AlignRight | Qt::AlignVCenter, text);
            else
                p.drawText(box, Qt::AlignRight | Qt::AlignVCenter, text);
        }
        EXPECT_EQ(images[1], images[0]) << text.toStdString();
        EXPECT_EQ(images[2], images[0]) << text.toStdString();
    }
}

TEST_F(Chart, AMenuOrDialogOverTheWindowTakesTheHoverBoxAwayAndItsBoxIsOpaque) {
    appendRamp(50);
    chart.setStatisticsShown(true);
    const QPoint over(static_cast<int>(chart.plotArea().right()) - 4,
                      static_cast<int>(chart.plotArea().center().y()));
    QApplication::processEvents();
    const QImage before = chart.grab().toImage();
    QMouseEvent move(QEvent::MouseMove, over, chart.mapToGlobal(over), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(&chart, &move);
    const QImage hovering = chart.grab().toImage();
    EXPECT_NE(hovering, before);
    QEvent away(QEvent::WindowDeactivate);
    QApplication::sendEvent(&chart, &away);
    EXPECT_EQ(chart.grab().toImage(), before);
    // The statistics box, at its corner over the frame and the grid: nothing shows through.
    const QPoint corner = chart.plotArea().topLeft().toPoint() + QPoint(8, 8);
    EXPECT_EQ(before.pixelColor(corner), chart.palette().toolTipBase().color());
}
