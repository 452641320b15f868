// A recording session on the scans' clock: the REC badge the chart shows. (The file it writes,
// and a recording that stops on its own, are checked with the program in tests/ui.)
#include <gtest/gtest.h>

#include <QLocale>

#include "engine/recording/recording_session.h"
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
