// A recording session on the scans' clock: the REC badge the chart shows, the header facts and
// the rate changes in the file, and a recording that stops on its own.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTest>

#include "engine/recording/recording_session.h"
#include "support/recorded_file.h"
#include "support/temp_folder.h"

namespace {

struct Session : ::testing::Test {
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
    TempFolder dir;
    double now = 1000;
    std::vector<QString> stops;
    engine::RecordingSession session{[this] { return now; },
                                     [this](const QString& why) { stops.push_back(why); }};
};

}  // namespace

TEST_F(Session, TheBadgeTellsTheFileTheTimeRecordedAndTheScansWritten) {
    EXPECT_EQ(session.badge(), "");
    engine::RecordingFacts facts;
    facts.traces = 1;
    ASSERT_TRUE(session.start(QString::fromStdString(dir.path + "/run.csv"), false, facts));
    const double v = 1.25;
    for (int i = 0; i < 1234; ++i) session.append(now + i * 0.001, &v);
    const struct {
        double after;
        const char* badge;
    } badges[] = {
        {0.4, "\u25CF REC run.csv  0:00:00  1,234 scans"},
        {83.4, "\u25CF REC run.csv  0:01:23  1,234 scans"},
        {3683.5, "\u25CF REC run.csv  1:01:24  1,234 scans"},
    };
    for (const auto& [after, badge] : badges) {
        now = 1000 + after;
        EXPECT_EQ(session.badge(), QString(badge)) << after;
    }
    session.stop();
    EXPECT_EQ(session.badge(), "");
    EXPECT_TRUE(stops.empty());
}

TEST_F(Session, TheHeaderStatesTheFactsAndRateChangesComeAtTheirTime) {
    engine::RecordingFacts facts{"zelmor 1.0", 0x278, "", 250, 2, "V"};
    ASSERT_TRUE(session.start(QString::fromStdString(dir.path + "/run.csv"), false, facts));
    now += 12.345;
    session.rateChanged(500);
    session.stop();
    const RecordedFile f(dir.path + "/run.csv");
    ASSERT_EQ(f.comments.size(), 7u);
    EXPECT_EQ(f.comments[0], "Zelmor recording");
    EXPECT_EQ(f.comments[1].rfind("started 20", 0), 0u) << f.comments[1];
    EXPECT_EQ(
        std::vector<std::string>(f.comments.begin() + 2, f.comments.end()),
        (std::vector<std::string>{
            "program zelmor 1.0", "port base address 0x278, back end: hardware",
            "requested rate 250 scans/s", "time_s: seconds since the start; values in V, in full",
            "rate changed to 500 scans/s at 12.345000 s"}));
    EXPECT_EQ(f.columns, "time_s,ch0_V,ch1_V");
}

TEST_F(Session, AFolderRemovedStopsTheRecordingAtTheNextFlushAndSaysWhyOnce) {
    const std::string folder = dir.path + "/run";
    ASSERT_EQ(std::system(("mkdir '" + folder + "'").c_str()), 0);
    ASSERT_TRUE(session.start(QString::fromStdString(folder + "/scans.csv"), false, {}));
    std::system(("rm -rf '" + folder + "'").c_str());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !session.running(); }, 3000));
    QTest::qWait(1100);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_TRUE(stops[0].contains("folder removed")) << stops[0].toStdString();
}
