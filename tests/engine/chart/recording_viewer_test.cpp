// A span the chart saved, opened again: the same scans and holes, in a chart frozen for good.
#include <gtest/gtest.h>

#include <QToolButton>

#include "engine/chart/recording_viewer.h"
#include "engine/chart/strip_chart.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

TEST(RecordingViewer, ASavedSpanOpensAgainScanForScanInAChartFrozenForGood) {
    StripChart chart;
    chart.setResolution(kViewerResolution);
    chart.setSpan(10);
    auto codeOf = [](int i, int t) { return (i * 37 + t * 500) % 4096; };
    for (int i = 0; i < 300; ++i) {
        double scan[8];
        for (int t = 0; t < 8; ++t) scan[t] = codeOf(i, t) * kViewerResolution;
        chart.appendScan(scan, 50 + 0.01 * i + (i >= 100) * 0.5 + (i >= 200) * 2.0,
                         i == 100   ? TraceHistory::Before::gap
                         : i == 200 ? TraceHistory::Before::gapDuringPopup
                                    : TraceHistory::Before::scans);
    }
    chart.setStatisticsShown(true);
    chart.setFileFacts([] {
        engine::RecordingFacts f;
        f.program = "zelmor 9.9";
        f.portBase = 0x278;
        f.backEnd = "Simulated converter";
        return f;
    });
    chart.bindRate([] { return 100.0; });
    TempFolder dir;
    QString error;
    ASSERT_TRUE(chart.exportShown(QString::fromStdString(dir.path + "/span.csv"), error));
    RecordedHistory read;
    ASSERT_EQ(LoadRecordedHistory(dir.path + "/span.csv", kViewerResolution, read), std::nullopt);
    const std::vector<std::string> said = read.header.comments;
    const TraceHistory& h = read.history;
    ASSERT_EQ(h.size(), 300);
    const double start = 50 + 2.99 + 2.5 - 10;  // the span's start: its times count from there
    for (int i = 0; i < 300; ++i) {
        EXPECT_NEAR(h.time(i), 50 + 0.01 * i + (i >= 100) * 0.5 + (i >= 200) * 2.0 - start, 1e-6);
        EXPECT_EQ(h.before(i), chart.data().before(i)) << i;
        for (int t = 0; t < 8; ++t) ASSERT_EQ(h.code(t, i), codeOf(i, t)) << i << " " << t;
    }

    QWidget* window = ShowRecordingWindow(std::move(read));
    auto* viewer = window->findChild<StripChart*>("viewerChart");
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->frozen() && viewer->viewing());
    viewer->setFrozen(false);  // Space: nothing live to return to
    EXPECT_TRUE(viewer->frozen());
    EXPECT_FALSE(viewer->freezeButton()->isVisible() || viewer->recordButton()->isVisible());
    viewer->setStatisticsShown(true);
    EXPECT_EQ(viewer->statisticsLines(), chart.statisticsLines());
    // Saved again, it says where its scans came from as the first file did.
    ASSERT_TRUE(viewer->exportShown(QString::fromStdString(dir.path + "/again.csv"), error));
    RecordedHistory again;
    ASSERT_EQ(LoadRecordedHistory(dir.path + "/again.csv", kViewerResolution, again), std::nullopt);
    // (Past what it is and when it started: the program, the port, the rate, the columns.)
    EXPECT_EQ(std::vector(again.header.comments.begin() + 2, again.header.comments.end()),
              std::vector(said.begin() + 2, said.end()));
    EXPECT_EQ(said[2], "program zelmor 9.9");
    delete window;
}

TEST(RecordingViewer, ARecordingsChannelsCalibratedColumnsNotesAndTriggersComeBack) {
    TempFolder dir;
    const std::string file = dir.path + "/run.csv";
    double now = 100;
    engine::RecordingSession session([&] { return now; }, nullptr);
    engine::RecordingFacts facts;
    facts.channels = {{"Supply rail", "V", 2, 0.5},
                      {"Heat", "°C", 100, -50},
                      {"Probe", "", 1, 0},
                      {"Bad", "V", 0, 1}};  // gain 0: written as the default
    ASSERT_TRUE(session.start(QString::fromStdString(file), false, facts));
    const double scans[2][8] = {{0.0006103515625, 0.5}, {1.25, 0.625}};
    session.append(100.001, scans[0]);
    session.note(99, "before the start: not written");
    session.note(100.0015, "heater on");
    session.triggerFired(100.002, "CH2 rising through 0.6 V");
    session.append(100.002, scans[1]);
    session.stop();

    const RecordedFile f(file);
    EXPECT_TRUE(f.mentions("channel 0: name \"Supply rail\", unit \"V\", gain 2, offset 0.5"));
    EXPECT_EQ(f.columns,
              "time_s,ch0_V,ch1_V,ch2_V,ch3_V,ch4_V,ch5_V,ch6_V,ch7_V,Supply_rail_V,Heat_°C");
    ASSERT_EQ(f.rows.size(), 2U);
    EXPECT_EQ(std::vector(f.rows[0].begin() + 9, f.rows[0].end()),
              (std::vector<std::string>{"0.501220703125", "0"}));
    EXPECT_EQ(std::vector(f.rows[1].begin() + 9, f.rows[1].end()),
              (std::vector<std::string>{"3", "12.5"}));

    std::vector<engine::ChannelSetup> expected(facts.channels.begin(), facts.channels.end() - 1);
    for (int t = 3; t < 8; ++t) expected.push_back(engine::DefaultChannel(t));
    RecordedHistory read;
    ASSERT_EQ(LoadRecordedHistory(file, kViewerResolution, read), std::nullopt);
    EXPECT_EQ(read.header.channels, expected);
    EXPECT_EQ(engine::FactsFromHeader(read.header.comments).channels, expected);
    EXPECT_EQ(read.notes, (std::vector<RecordedMark>{{0.0015, "heater on"}}));
    EXPECT_EQ(read.triggers, (std::vector<RecordedMark>{{0.002, "CH2 rising through 0.6 V"}}));
    // The viewer shows them: the channels' names and units, the note and the firing as flags.
    QWidget* window = ShowRecordingWindow(std::move(read));
    const auto* viewer = window->findChild<StripChart*>("viewerChart");
    EXPECT_EQ(viewer->traceName(1).toStdString() + viewer->traceUnit(1).toStdString(), "Heat°C");
    ASSERT_EQ(viewer->notes().size(), 2U);
    EXPECT_EQ(viewer->notes()[0].text, "heater on");
    EXPECT_EQ(viewer->notes()[1].text, "trigger: CH2 rising through 0.6 V");
    delete window;
}
