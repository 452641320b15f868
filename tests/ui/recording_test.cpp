// Recording the program's scans from the chart, as the operator does: the file against what
// the indicators showed, its stamps against the requested rate, and a disk that fills up.
#include <sys/resource.h>

#include <QMessageBox>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "engine/chart/strip_chart.h"
#include "program_fixture.h"
#include "support/temp_folder.h"

using namespace engine::testing;
using zelmor::mainPanel;

namespace {

std::vector<std::vector<std::string>> rows(const std::string& file,
                                           std::vector<std::string>* comments = nullptr) {
    std::ifstream in(file);
    std::vector<std::vector<std::string>> v;
    for (std::string l; std::getline(in, l);) {
        if (l.rfind("# ", 0) == 0) {
            if (comments) comments->push_back(l.substr(2));
            continue;
        }
        if (l.rfind("time_s", 0) == 0) continue;
        std::vector<std::string> f;
        std::stringstream s(l);
        for (std::string x; std::getline(s, x, ',');) f.push_back(x);
        v.push_back(f);
    }
    return v;
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    for (const auto& l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

StripChart* chart() {
    return qobject_cast<StripChart*>(engine::FindControl(mainPanel, MAIN_CHART)->widget);
}

}  // namespace

TEST_F(Program, ARecordingHoldsWhatTheIndicatorsShowedStampedAtTheRequestedRate) {
    TempFolder dir;
    const std::string file = dir.path + "/run.csv";
    run([&] {
        openMainPanel();
        engine::SetScanClock([this] { return 5000 + clock.now(); });  // the simulated time
        ASSERT_TRUE(chart()->startRecording(QString::fromStdString(file), false));
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
        chart()->stopRecording();
        std::vector<std::string> comments;
        const auto scans = rows(file, &comments);
        ASSERT_EQ(scans.size(), 40u);
        double before = -1;
        for (std::size_t k = 0; k < scans.size(); ++k) {
            ASSERT_EQ(scans[k].size(), 9u);
            for (int ch = 0; ch < 8; ++ch)
                EXPECT_EQ(std::stod(scans[k][1 + ch]), shown[k][ch]) << "scan " << k;
            const double t = std::stod(scans[k][0]);
            EXPECT_GT(t, before);
            // 10 scans a second, then 500: each stamp a period after the one before.
            if (k > 0) {
                EXPECT_NEAR(t - before, k < 20 ? 0.1 : 0.002, 1e-6) << "scan " << k;
            }
            before = t;
        }
        EXPECT_TRUE(mentions(comments, "requested rate 10 scans/s"));
        EXPECT_TRUE(mentions(comments, "rate changed to 500 scans/s"));
        EXPECT_TRUE(mentions(comments, "port base address 0x378"));
        EXPECT_TRUE(mentions(comments, "Simulated converter"));
    });
}

TEST_F(Program, AFullDiskStopsTheRecordingOnceAndScanningGoesOn) {
    TempFolder dir;
    const std::string file = dir.path + "/full.csv";
    run([&] {
        openMainPanel();
        ASSERT_TRUE(chart()->startRecording(QString::fromStdString(file), false));
        for (int scan = 0; scan < 10; ++scan) FireTimer(mainPanel, MAIN_TIMER);
        QTest::qWait(1200);  // these reach the file
        // From here the file may grow by a few scans more, no further: a disk filling up.
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        std::ifstream written(file, std::ios::ate);
        rlimit limit{static_cast<rlim_t>(written.tellg()) + 500, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
        for (int scan = 0; scan < 100; ++scan) FireTimer(mainPanel, MAIN_TIMER);
        EXPECT_TRUE(QTest::qWaitFor([] { return !chart()->recording(); }, 3000));  // next write
        for (int scan = 0; scan < 100; ++scan) FireTimer(mainPanel, MAIN_TIMER);
        QTest::qWait(1200);  // another second's writing, had it gone on
        setrlimit(RLIMIT_FSIZE, &old);

        EXPECT_FALSE(chart()->recording());
        EXPECT_EQ(chart()->data().size(), 210);  // scanning went on
        int messages = 0;
        for (auto* box : chart()->findChildren<QMessageBox*>()) messages += box->isVisible();
        EXPECT_EQ(messages, 1);
        EXPECT_NE(StatusLine(mainPanel).find("largest size"), std::string::npos)
            << StatusLine(mainPanel);
        EXPECT_NE(StatusLine(mainPanel).find("Simulated converter"), std::string::npos);
        const auto scans = rows(file);  // what was written before stays, whole lines only
        EXPECT_GE(scans.size(), 10u);
        EXPECT_LT(scans.size(), 20u);
        for (const auto& s : scans) EXPECT_EQ(s.size(), 9u);
        // A new recording clears the news of the last one's end.
        ASSERT_TRUE(
            chart()->startRecording(QString::fromStdString(dir.path + "/again.csv"), false));
        EXPECT_EQ(StatusLine(mainPanel).find("largest size"), std::string::npos);
        chart()->stopRecording();
    });
}

TEST_F(Program, TheShownSpanSavesAsCsvWithTimesFromItsStart) {
    TempFolder dir;
    run([&] {
        openMainPanel();
        engine::SetScanClock([this] { return 100 + clock.now(); });
        for (int scan = 0; scan < 30; ++scan) {
            clock.pause(1.0);  // 30 s at a scan a second; the chart shows the last 10 s
            FireTimer(mainPanel, MAIN_TIMER);
        }
        QString error;
        ASSERT_TRUE(chart()->exportShown(QString::fromStdString(dir.path + "/span.csv"), error))
            << error.toStdString();
        const auto scans = rows(dir.path + "/span.csv");
        ASSERT_EQ(scans.size(), 11u);  // 120 s to 130 s, both ends
        EXPECT_EQ(scans.front()[0], "0.000000");
        EXPECT_EQ(scans.back()[0], "10.000000");
        for (int ch = 0; ch < 8; ++ch)
            EXPECT_EQ(std::stod(scans.back()[1 + ch]), Value(mainPanel, MAIN_CH0 - ch));
        ASSERT_TRUE(chart()->savePicture(QString::fromStdString(dir.path + "/chart.png"), error));
        EXPECT_FALSE(QImage(QString::fromStdString(dir.path + "/chart.png")).isNull());
        ASSERT_TRUE(chart()->savePicture(QString::fromStdString(dir.path + "/chart.svg"), error));
        std::ifstream svg(dir.path + "/chart.svg");
        const std::string drawing((std::istreambuf_iterator<char>(svg)),
                                  std::istreambuf_iterator<char>());
        EXPECT_NE(drawing.find("<svg"), std::string::npos);
        EXPECT_FALSE(chart()->savePicture(QString::fromStdString(dir.path + "/gone/c.png"), error));
    });
}
