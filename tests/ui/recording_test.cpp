// Recording the program's scans beside the chart, as the operator does: the file against what
// the indicators showed, its stamps against the requested rate, the holes in the scans, and a
// disk that fills up.
#include <sys/resource.h>

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <fstream>

#include "engine/chart/trigger_dialog.h"
#include "engine/panels/recordings.h"
#include "engine/panels/settings.h"
#include "program_fixture.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

using namespace engine::testing;
using zelmor::mainPanel;

namespace {

engine::ChartFeed& feed() {
    return engine::FeedOf(
        qobject_cast<StripChart*>(engine::FindControl(mainPanel, MAIN_CHART)->widget));
}

}  // namespace

TEST_F(Program, ARecordingHoldsWhatTheIndicatorsShowedStampedAndTheHolesMarked) {
    TempFolder dir;
    const std::string file = dir.path + "/run.csv";
    run([&] {
        openMainPanel();
        engine::SetScanClock([this] { return 5000 + clock.now(); });  // the simulated time
        QWidget* window = engine::FindPanel(mainPanel)->window.get();
        window->show();  // the chart painted as the scans come
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(file), false));
        EXPECT_TRUE(feed().chart().recordButton()->isChecked());
        std::vector<std::vector<double>> shown;
        std::vector<double> apart;
        auto scans = [&](int n, double seconds) {
            for (int i = 0; i < n; ++i) {
                clock.pause(seconds);
                FireTimer(mainPanel, MAIN_TIMER);
                apart.push_back(seconds);
                shown.emplace_back();
                for (int ch = 0; ch < 8; ++ch)
                    shown.back().push_back(Value(mainPanel, MAIN_CH0 - ch));
            }
        };
        // 10 scans a second, then 500. Intervals over 1.5 periods are holes: the About box
        // open for 3.18 s, a stall of 5 ms; 2.8 ms is a late scan, not a hole.
        scans(20, 0.1);
        TypeInto(mainPanel, MAIN_SAMPLES, "500");
        PressEnter(mainPanel, MAIN_SAMPLES);
        scans(20, 0.002);
        engine::SetPopupResponder([&](const engine::PopupRecord&) { clock.pause(3.18); });
        ChooseMenuItem(mainPanel, "About");
        scans(1, 0);
        apart.back() = 3.18;
        scans(10, 0.002);
        scans(1, 0.005);
        scans(1, 0.0028);
        clock.pause(3600);  // 5.2478 s of scans, then an hour more on the badge
        EXPECT_EQ(feed().session().badge(), "\u25CF REC run.csv  1:00:05  53 scans");
        feed().stopRecording();
        EXPECT_EQ(StatusLine(mainPanel),
                  std::string(engine::kSimulatedStatus) + " \u2014 Saved 53 scans to " + file);
        const RecordedFile recorded(file);
        EXPECT_EQ(recorded.columns, "time_s,ch0_V,ch1_V,ch2_V,ch3_V,ch4_V,ch5_V,ch6_V,ch7_V");
        ASSERT_EQ(recorded.rows.size(), 53u);
        double before = -1;
        for (std::size_t k = 0; k < recorded.rows.size(); ++k) {
            ASSERT_EQ(recorded.rows[k].size(), 9u);
            for (int ch = 0; ch < 8; ++ch)
                EXPECT_EQ(std::stod(recorded.rows[k][1 + ch]), shown[k][ch]) << "scan " << k;
            const double t = std::stod(recorded.rows[k][0]);  // a stamp for every interval
            EXPECT_NEAR(t - before, k == 0 ? t + 1 : apart[k], 1e-6) << k;
            before = t;
        }
        for (const char* fact : {"requested rate 10 scans/s", "rate changed to 500 scans/s at 2.0",
                                 "port base address 0x378", "Simulated converter", "program "})
            EXPECT_TRUE(recorded.mentions(fact)) << fact;
        using Lines = std::vector<std::string>;
        const auto gaps = [](const RecordedFile& f) {  // each hole's line, and the scan after it
            Lines g;
            for (std::size_t i = 0; i + 1 < f.lines.size(); ++i)
                if (f.lines[i].rfind("# gap of", 0) == 0)
                    g.push_back(f.lines[i] + " / " + f.lines[i + 1].substr(0, 8));
            return g;
        };
        EXPECT_EQ(gaps(recorded),
                  (Lines{"# gap of 3.180 s after 2.040000 s (a popup was open) / 5.220000",
                         "# gap of 0.005 s after 5.240000 s / 5.245000"}));

        // No trace's colour in the popup's hole on the chart, drawn scan by scan (10 s) or
        // refitted to another span (60 s): nothing is drawn where nothing was measured.
        StripChart& chart = feed().chart();
        for (double shown : {10.0, 60.0}) {
            chart.setSpan(shown);
            const QImage picture = chart.grab().toImage();  // at a pixel ratio of 1
            const QRectF plot = chart.plotArea();
            int inHole = 0, beside = 0;
            for (double ago : {0.005, 1.0, 2.0, 3.0})  // 5 ms before the newest: scans
                for (int y = static_cast<int>(plot.top()); y < plot.bottom(); ++y)
                    for (int t = 0; t < 8; ++t)
                        (ago < 1 ? beside : inHole) +=
                            picture.pixelColor(
                                static_cast<int>(plot.right() - plot.width() * ago / shown), y) ==
                            chart.traceColor(t);
            EXPECT_EQ(inHole, 0) << shown;
            EXPECT_GT(beside, 0) << shown;
        }
    });
}

TEST_F(Program, TheFileMenuHoldsTheChartsFileActionsAndTabReachesRecordAndFreeze) {
    TempFolder dir;
    run([&] {
        openMainPanel();
        const std::vector<std::string> menu = {"&Record every scan...\tCtrl+R",
                                               "Save shown &span...",
                                               "Save &picture...",
                                               "&Open recording...",
                                               "-",
                                               "E&xit"};
        EXPECT_EQ(FileMenu(mainPanel), menu);
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(dir.path + "/r.csv"), false));
        EXPECT_EQ(FileMenu(mainPanel).front(), "Stop &recording\tCtrl+R");
        feed().stopRecording();
        engine::FindPanel(mainPanel)->window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(engine::FindPanel(mainPanel)->window.get()));
        StripChart& chart = feed().chart();
        chart.setFocus();
        QTest::keyClick(&chart, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), chart.recordButton());
        QTest::keyClick(chart.recordButton(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), chart.freezeButton());
        QTest::keyClick(chart.freezeButton(), Qt::Key_Space);  // the button, pressed once
        EXPECT_TRUE(chart.frozen());
    });
}

TEST_F(Program, AFullDiskStopsTheRecordingOnceAndScanningGoesOn) {
    TempFolder dir;
    const std::string file = dir.path + "/full.csv";
    run([&] {
        openMainPanel();
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(file), false));
        for (int scan = 0; scan < 10; ++scan) FireTimer(mainPanel, MAIN_TIMER);
        QTest::qWait(1200);  // these reach the file
        // From here the file may grow by a few scans more, no further: a disk filling up.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        std::ifstream written(file, std::ios::ate);
        rlimit limit{static_cast<rlim_t>(written.tellg()) + 500, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        for (int scan = 0; scan < 100; ++scan) FireTimer(mainPanel, MAIN_TIMER);
        EXPECT_TRUE(QTest::qWaitFor([] { return !feed().recording(); }, 3000));  // next write
        for (int scan = 0; scan < 100; ++scan) FireTimer(mainPanel, MAIN_TIMER);
        QTest::qWait(1200);  // another second's writing, had it gone on
        setrlimit(RLIMIT_FSIZE, &old);

        EXPECT_FALSE(feed().chart().recordButton()->isChecked());
        EXPECT_EQ(feed().chart().data().size(), 210);  // scanning went on
        int messages = 0;
        for (auto* box : feed().chart().findChildren<QMessageBox*>()) messages += box->isVisible();
        EXPECT_EQ(messages, 1);
        const std::string said = StatusLine(mainPanel);  // after what it said before
        EXPECT_NE(said.find("Simulated converter"), std::string::npos) << said;
        EXPECT_NE(said.find("largest size allowed here. The scans written before stay in"),
                  std::string::npos)
            << said;
        // A new recording clears the news of the last one's end.
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(dir.path + "/again.csv"), false));
        EXPECT_EQ(StatusLine(mainPanel).find("largest size"), std::string::npos);
        feed().stopRecording();
    });
}

TEST_F(Program, TheOperatorsTermsComeFromTheSettingsGoIntoTheRecordingAndStay) {
    TempFolder dir;
    const QString settings = QString::fromStdString(dir.path + "/zelmor.conf");
    const std::string file = dir.path + "/run.csv";
    engine::StoredSettings stored;
    stored.chart.lanes = true;
    stored.channels[0x278] = {{"Other board", "V", 1, 0}};
    stored.channels[0x378] = {{"Supply", "V", 2, 0}};
    std::string error;
    ASSERT_TRUE(engine::WriteSettings(settings, stored, error)) << error;
    engine::PlaceSettings(settings.toStdString(), false);
    converter.setInput(0, [](double t) { return t < 0.5 ? 0.5 : 1.5; });  // one rising edge
    run([&] {
        openMainPanel();
        StripChart& chart = feed().chart();
        EXPECT_TRUE(chart.lanes());
        FireTimer(mainPanel, MAIN_TIMER);  // the port is known: LPT1's channels
        EXPECT_EQ(chart.channel(0).name, "Supply");
        chart.setTrigger({0, engine::TriggerEdge::rising, 2.0, 0.5, engine::TriggerMode::normal});
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(file), false));
        for (int i = 0; i < 10; ++i) {
            clock.pause(0.1);
            FireTimer(mainPanel, MAIN_TIMER);
        }
        QTimer::singleShot(0, [] {
            auto* note = dynamic_cast<engine::NoteDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(note, nullptr);
            note->line()->setText("supply switched on");
            note->accept();
        });
        QTest::keyClick(&chart, Qt::Key_N);
        ASSERT_EQ(chart.notes().size(), 1u);
        feed().stopRecording();
        chart.setLanes(false);  // the operator's change is kept at once
        engine::RecordingPathChosen(QString::fromStdString(file));  // as a file dialog does
        EXPECT_EQ(QFileInfo(engine::DefaultRecordingPath()).path().toStdString(), dir.path);
        QuitUserInterface(0);
    });
    const RecordedFile recorded(file);
    EXPECT_EQ(recorded.columns, "time_s,ch0_V,ch1_V,ch2_V,ch3_V,ch4_V,ch5_V,ch6_V,ch7_V,Supply_V");
    ASSERT_FALSE(recorded.rows.empty());
    EXPECT_EQ(std::stod(recorded.rows.back()[9]), 2 * std::stod(recorded.rows.back()[1]));
    EXPECT_TRUE(recorded.mentions("channel 0: name \"Supply\", unit \"V\", gain 2, offset 0"));
    EXPECT_TRUE(recorded.mentions("trigger fired at 0."));
    EXPECT_TRUE(recorded.mentions("Supply rising through 2 V"));
    EXPECT_TRUE(recorded.mentions(" s: supply switched on"));
    const engine::SettingsRead again = engine::ReadSettings(settings);
    EXPECT_FALSE(again.settings.chart.lanes);
    EXPECT_EQ(again.settings.channels.at(0x378).at(0).name, "Supply");
    EXPECT_EQ(again.settings.channels.at(0x278).at(0).name, "Other board");
    EXPECT_EQ(again.settings.trigger.mode, engine::TriggerMode::normal);
    EXPECT_EQ(again.settings.recordingFolder.toStdString(), dir.path);
    engine::PlaceSettings("", true);
}
