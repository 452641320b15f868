// Recording the program's scans beside the chart, as the operator does: the file against what
// the indicators showed, its stamps against the requested rate, and a disk that fills up.
#include <sys/resource.h>

#include <QMessageBox>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <fstream>

#include "engine/panels/recordings.h"
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

TEST_F(Program, ARecordingHoldsWhatTheIndicatorsShowedStampedAtTheRequestedRate) {
    TempFolder dir;
    const std::string file = dir.path + "/run.csv";
    run([&] {
        openMainPanel();
        engine::SetScanClock([this] { return 5000 + clock.now(); });  // the simulated time
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(file), false));
        EXPECT_TRUE(feed().chart().recordButton()->isChecked());
        std::vector<std::vector<double>> shown;
        for (int scan = 0; scan < 40; ++scan) {
            if (scan == 20) {  // the operator asks for 500 scans/s half-way
                TypeInto(mainPanel, MAIN_SAMPLES, "500");
                PressEnter(mainPanel, MAIN_SAMPLES);
            }
            clock.pause(scan < 20 ? 0.1 : 0.002);
            FireTimer(mainPanel, MAIN_TIMER);
            shown.emplace_back();
            for (int ch = 0; ch < 8; ++ch) shown.back().push_back(Value(mainPanel, MAIN_CH0 - ch));
        }
        feed().stopRecording();
        const RecordedFile recorded(file);
        ASSERT_EQ(recorded.rows.size(), 40u);
        double before = -1;
        for (std::size_t k = 0; k < recorded.rows.size(); ++k) {
            ASSERT_EQ(recorded.rows[k].size(), 9u);
            for (int ch = 0; ch < 8; ++ch)
                EXPECT_EQ(std::stod(recorded.rows[k][1 + ch]), shown[k][ch]) << "scan " << k;
            // 10 scans a second, then 500: each stamp a period after the one before.
            const double t = std::stod(recorded.rows[k][0]);
            EXPECT_NEAR(t - before, k == 0 ? t + 1 : (k < 20 ? 0.1 : 0.002), 1e-6) << k;
            before = t;
        }
        for (const char* fact : {"requested rate 10 scans/s", "rate changed to 500 scans/s at 2.0",
                                 "port base address 0x378", "Simulated converter", "program "})
            EXPECT_TRUE(recorded.mentions(fact)) << fact;
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
        EXPECT_NE(StatusLine(mainPanel).find("largest size"), std::string::npos)
            << StatusLine(mainPanel);
        EXPECT_NE(StatusLine(mainPanel).find("Simulated converter"), std::string::npos);
        const RecordedFile recorded(file);  // what was written before stays, whole lines only
        EXPECT_GE(recorded.rows.size(), 10u);
        EXPECT_LT(recorded.rows.size(), 20u);
        for (const auto& s : recorded.rows) EXPECT_EQ(s.size(), 9u);
        // A new recording clears the news of the last one's end.
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(dir.path + "/again.csv"), false));
        EXPECT_EQ(StatusLine(mainPanel).find("largest size"), std::string::npos);
        feed().stopRecording();
    });
}

TEST_F(Program, AHoleInTheScansIsMarkedInTheRecordingTheExportAndTheChart) {
    TempFolder dir;
    const std::string file = dir.path + "/gaps.csv", span = dir.path + "/span.csv";
    run([&] {
        openMainPanel();
        engine::SetScanClock([this] { return 5000 + clock.now(); });
        QWidget* window = engine::FindPanel(mainPanel)->window.get();
        window->show();  // the chart painted as the scans come
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        TypeInto(mainPanel, MAIN_SAMPLES, "1000");
        PressEnter(mainPanel, MAIN_SAMPLES);
        ASSERT_TRUE(feed().startRecording(QString::fromStdString(file), false));
        auto scans = [&](int n, double apart) {
            for (int i = 0; i < n; ++i) {
                clock.pause(apart);
                FireTimer(mainPanel, MAIN_TIMER);
            }
        };
        // Intervals over 1.5 periods are holes: the About box open for 3.18 s, a stall of
        // 5 ms; 1.4 ms is a late scan, not a hole.
        scans(10, 0.001);
        engine::SetPopupResponder([&](const engine::PopupRecord&) { clock.pause(3.18); });
        ChooseMenuItem(mainPanel, "About");
        scans(1, 0);
        scans(10, 0.001);
        scans(1, 0.005);
        scans(1, 0.0014);
        feed().stopRecording();
        QString error;
        ASSERT_TRUE(feed().chart().exportShown(QString::fromStdString(span), error));
        const RecordedFile recorded(file), exported(span);  // the span from 3.2064 - 10 s
        auto gaps = [](const RecordedFile& f) {
            std::vector<std::string> g;
            for (const auto& c : f.comments)
                if (c.rfind("gap of", 0) == 0) g.push_back(c);
            return g;
        };
        using Lines = std::vector<std::string>;
        const Lines inRecording{"gap of 3.180 s after 0.010000 s (a popup was open)",
                                "gap of 0.005 s after 3.200000 s"};
        EXPECT_EQ(gaps(recorded), inRecording);
        EXPECT_EQ(gaps(exported), (Lines{"gap of 3.180 s after 6.803600 s (a popup was open)",
                                         "gap of 0.005 s after 9.993600 s"}));
        EXPECT_EQ(recorded.rows.size(), 23u);
        EXPECT_EQ(exported.rows.size(), 23u);
        const auto at =
            std::find(recorded.lines.begin(), recorded.lines.end(), "# " + inRecording[0]);
        ASSERT_LT(at + 1, recorded.lines.end());
        EXPECT_EQ(at[1].substr(0, 9), "3.190000,");  // before the first scan after the hole

        // The chart draws nothing across the popup's hole: no trace's colour in the columns
        // between the last scan before it and the first after, drawn scan by scan (10 s) or
        // refitted to another span (60 s).
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
