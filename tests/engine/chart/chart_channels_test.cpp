// The strip chart in the operator's terms: channels with names, units and calibrations,
// lanes, ranges by hand, notes and the level trigger.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTimer>
#include <array>
#include <cmath>

#include "engine/chart/strip_chart.h"
#include "engine/chart/trigger_dialog.h"

namespace {

struct Channels : ::testing::Test {
    void SetUp() override {
        chart.setTraceCount(2);
        chart.setHistory(1000);
        chart.setResolution(0.0001);  // the values fed, exactly
        chart.resize(600, 300);
    }
    // `scans` scans 0.01 s apart, each trace at `volts[t]`.
    void feed(int scans, double v0, double v1) {
        for (int i = 0; i < scans; ++i) {
            const double scan[2] = {v0, v1};
            chart.appendScan(scan, 0.01 * taken++);
        }
    }
    int taken = 0;
    StripChart chart;
};

}  // namespace

TEST_F(Channels, EveryValueReadIsInTheChannelsUnitThroughItsCalibration) {
    QSignalSpy changed(&chart, &StripChart::setupChanged);
    // Trace 1's channel is refused (a gain of 0): its default takes its place. A negative
    // gain turns the lowest volts into the highest value.
    chart.setChannels({{"Depth", "m", -4, 10}, {"Temp", "degC", 0, 0}});
    chart.setChannels(chart.channels());  // the same: nothing changed
    EXPECT_EQ(changed.count(), 1);
    feed(10, 1.0, 0.75);
    feed(10, 1.5, 0.25);
    const auto readout = chart.readoutAt(chart.plotArea().right() - 0.5).values;
    const auto statistics = chart.statisticsLines();
    chart.setFrozen(true);
    chart.placeCursor(0.05);
    chart.placeCursor(0.15);
    const std::pair<QString, const char*> read[] = {
        {readout.at(0).second, "Depth  4.0000 m"},
        {readout.at(1).second, "CH1  0.2500 V"},
        {statistics.at(0).second,
         "Depth  min 4.0000  max 6.0000  mean 5.0000  sd 1.0000  p-p 2.0000 m"},
        {statistics.at(1).second,
         "CH1  min 0.2500  max 0.7500  mean 0.5000  sd 0.2500  p-p 0.5000 V"},
        {chart.cursorLines().value(1), "Depth  6.0000 m  4.0000 m  dV -2.0000 m"},
    };
    for (const auto& [got, want] : read) EXPECT_EQ(got.toStdString(), want);
    const auto facts = chart.fileFacts().channels;
    ASSERT_EQ(facts.size(), 2u);
    EXPECT_EQ(facts[0], (engine::ChannelSetup{"Depth", "m", -4, 10}));
    EXPECT_EQ(facts[1].name, "CH1");
}

TEST_F(Channels, RangesByHandAreCheckedAndEachLaneHoldsItsTrace) {
    const std::pair<double, double> refused[] = {{2, 1},        {1, 1},    {NAN, 1},
                                                 {0, INFINITY}, {-2e6, 0}, {1, 1.0001}};
    for (const auto& r : refused) chart.setManualRange(r);
    EXPECT_EQ(chart.rangeMode(), engine::ChartRange::fixed);
    chart.setManualRange({1, 2});
    chart.setRangeMode(engine::ChartRange::manual);
    EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{1, 2}));
    // Lanes: trace 0 (kPa, 0 to 250 fixed) in the top half, trace 1 in the bottom half.
    chart.setChannels({{"Pressure", "kPa", 100, 0}});
    chart.setLaneRange(1, {0, 1});
    chart.setLanes(true);
    // Lane 0's range not set: its fixed one.
    EXPECT_EQ(chart.shownRanges(), (std::vector<std::pair<double, double>>{{0, 250}, {0, 1}}));
    feed(200, 1.25, 0.25);  // 125 kPa: the middle of lane 0; a quarter up lane 1
    QImage image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    chart.render(&image);
    const QRectF plot = chart.plotArea();
    const int x = static_cast<int>(plot.right()) - 3;
    const double half = plot.height() / 2;
    const struct {
        int trace;
        double expected;  // the row, from the plot's top and height
    } lanes[] = {{0, plot.top() + half / 2}, {1, plot.bottom() - half / 4}};
    for (const auto& [t, expected] : lanes) {
        std::vector<int> rows;  // those of column x in the trace's colour
        for (int y = 0; y < image.height(); ++y)
            if (image.pixelColor(x, y) == chart.traceColor(t)) rows.push_back(y);
        ASSERT_FALSE(rows.empty()) << t;
        EXPECT_NEAR(rows.front(), expected, 2.5) << t;
        EXPECT_NEAR(rows.back(), expected, 2.5) << t;
    }
    const engine::ChartSetup kept = chart.setup();
    StripChart other;
    other.setTraceCount(2);
    other.applySetup(kept);
    EXPECT_EQ(other.setup(), kept);
    // From the menu's dialog, the range typed is the one drawn at once.
    chart.setLanes(false);
    chart.setRangeMode(engine::ChartRange::fixed);
    QTimer::singleShot(0, [] {
        auto* dialog = dynamic_cast<engine::RangeDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        dialog->minimum()->setText("0.5");
        dialog->maximum()->setText("2");
        dialog->accept();
    });
    chart.editRange({});
    EXPECT_EQ(chart.rangeMode(), engine::ChartRange::manual);
    EXPECT_EQ(chart.shownRange(), (std::pair<double, double>{0.5, 2}));
}

TEST_F(Channels, ANoteIsAFlagAtItsTimeLiveFrozenAndInAPicture) {
    feed(500, 1, 1);  // 0 to 4.99 s; the span shows 10 s ending there
    chart.addNote(2.49, "valve opened");
    for (int i = 0; i < 1000; ++i) chart.addNote(-100 - i, "older");  // let go first
    ASSERT_EQ(chart.notes().size(), 1000u);
    EXPECT_EQ(chart.notes().back().text, "valve opened");
    const QRectF plot = chart.plotArea();
    const double x = plot.right() - 0.25 * plot.width();  // 2.5 s before the newest scan
    const QColor flag = chart.palette().link().color();
    auto flagAt = [&](const QImage& image) {
        int n = 0;
        for (int dx = -2; dx <= 8; ++dx)
            n += image.pixelColor(static_cast<int>(x) + dx, static_cast<int>(plot.top()) + 3) ==
                 flag;
        return n;
    };
    QImage live(chart.size(), QImage::Format_ARGB32_Premultiplied);
    chart.render(&live);
    EXPECT_GE(flagAt(live), 5);
    chart.setFrozen(true);
    EXPECT_GE(flagAt(chart.picture()), 5);
    ASSERT_NE(chart.noteAt(x + 2), nullptr);
    EXPECT_EQ(chart.noteAt(x + 2)->text, "valve opened");
    EXPECT_EQ(chart.noteAt(x - 40), nullptr);
}

TEST_F(Channels, TheTriggerHoldsTheWindowOfAFiringAtItsPosition) {
    chart.setSpan(1);
    QSignalSpy fired(&chart, &StripChart::triggerFired);
    // Single, a quarter in: a step up through 1.25 V at scan 300 (3.00 s) freezes the picture
    // at scan 375, the window's end 0.75 s after the firing.
    chart.setTrigger({0, engine::TriggerEdge::rising, 1.25, 0.25, engine::TriggerMode::single});
    EXPECT_EQ(chart.triggerBadge(), "TRIG armed");
    feed(300, 0.5, 0);
    feed(75, 2, 0);
    EXPECT_FALSE(chart.frozen());
    feed(1, 2, 0);
    EXPECT_TRUE(chart.frozen());
    EXPECT_EQ(chart.shown().size(), 376);
    EXPECT_NEAR(chart.shownEnd(), 3.75, 1e-9);
    const QRectF plot = chart.plotArea();
    EXPECT_EQ(chart.readoutAt(plot.left() + 0.25 * plot.width() + 1).time, "3.000 s");
    ASSERT_EQ(fired.count(), 1);
    EXPECT_NEAR(fired[0][0].toDouble(), 3.0, 1e-9);
    EXPECT_EQ(fired[0][1].toString().toStdString(), "CH0 rising through 1.25 V");
    EXPECT_EQ(chart.triggerBadge(), "TRIG single");
    const auto codes = chart.spanCodeStatistics();  // 2.75 s to 3.75 s: scans 275 to 375
    ASSERT_EQ(codes.size(), 2u);
    EXPECT_EQ((std::array<long, 3>{codes[0].count, codes[0].low, codes[0].high}),
              (std::array<long, 3>{101, 5000, 20000}));
    feed(100, 0.5, 0);  // disarmed: the next step does not fire
    feed(100, 2, 0);
    EXPECT_EQ(fired.count(), 1);

    // Normal, in the middle: a square wave rising every 0.4 s from 5.96 s. A firing shows
    // 0.5 s later and holds until the next one taken shows; the one during a wait is not.
    chart.rearmTrigger();
    EXPECT_FALSE(chart.frozen());
    chart.setTrigger({0, engine::TriggerEdge::rising, 1.25, 0.5, engine::TriggerMode::normal});
    const struct {
        int scans;  // fed after the last row
        double end;
        double firing;  // NAN: none shown yet, the chart rolls
    } rows[] = {
        {70, 6.45, NAN}, {1, 6.46, 5.96}, {70, 6.46, 5.96}, {10, 7.26, 6.76}, {80, 8.06, 7.56}};
    int scan = 0;
    QImage held, image(chart.size(), QImage::Format_ARGB32_Premultiplied);
    for (const auto& row : rows) {
        for (int i = 0; i < row.scans; ++i, ++scan) feed(1, (scan / 20) % 2 ? 2 : 0.5, 0);
        EXPECT_NEAR(chart.shownEnd(), row.end, 1e-9) << scan;
        EXPECT_EQ(chart.shownFiring().has_value(), !std::isnan(row.firing)) << scan;
        if (chart.shownFiring()) {
            EXPECT_NEAR(*chart.shownFiring(), row.firing, 1e-9) << scan;
        }
        EXPECT_FALSE(chart.frozen());
        chart.render(&image);  // the picture held while the scans go on
        if (row.end != 6.46) continue;
        if (!held.isNull()) {
            EXPECT_EQ(image, held);
        }
        held = image.copy();
    }
}
