// A run with no one at the panels: the real binary given --port, --rate, --record and
// --seconds, with no display, on the simulated converter.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "support/recorded_file.h"

TEST(UnattendedRun, EndsWithTheCodeOfHowItEndedAndSaysWhyOnStandardError) {
    QTemporaryDir dir;
    const QString kept = dir.filePath("kept.csv"), fresh = dir.filePath("fresh.csv");
    QFile(kept).open(QIODevice::WriteOnly);
    const struct {
        QStringList args;
        int code;
        QString err;  // the last line on standard error; empty: none at all
    } cases[] = {
        {{"--port=LPT1", "--rate=200", "--record=" + fresh, "--seconds=0.5"}, 0, ""},
        {{"--port=LPT3", "--seconds=5"},
         255,
         "zelmor: ending with exit code -1: the chosen port does not exist"},
        {{"--port=LPT1", "--sim-fault=unpowered", "--seconds=30"},
         2,
         "zelmor: ending with exit code 2: a conversion timed out"},
        {{"--port=LPT1", "--record=" + dir.filePath("none/x.csv"), "--seconds=30"},
         5,
         "zelmor: ending with exit code 5: the recording failed"},
        {{"--port=LPT1", "--record=" + kept, "--seconds=30"},
         255,
         "zelmor: --record: \"" + kept + "\" exists; give --overwrite to replace it"},
        {{"--port=LPT1", "--rate=1001", "--seconds=30"},
         255,
         "zelmor: --rate=1001 is outside Requested's range, 1 to 1000 scans/s"},
        {{"--port=LPT1", "--record=" + kept, "--overwrite", "--seconds=0.2"}, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        p.setProcessEnvironment(env);  // no display at all: it takes the offscreen one itself
        p.start(ZELMOR_BINARY, c.args);
        ASSERT_TRUE(p.waitForFinished(30000));
        const QStringList err =
            QString::fromLocal8Bit(p.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        EXPECT_EQ(p.exitCode(), c.code);
        EXPECT_EQ(err.value(err.size() - 1), c.err) << err.join('\n').toStdString();
    }
    // The recording holds every scan made at the rate asked for, from the first one on.
    for (const QString& path : {fresh, kept}) {
        const RecordedFile file(path.toStdString());
        EXPECT_TRUE(file.mentions(path == fresh ? "requested rate 200 scans/s" : "requested rate"));
        ASSERT_FALSE(file.rows.empty());
        for (const auto& row : file.rows) {
            ASSERT_EQ(row.size(), 9u);
            EXPECT_EQ(row[1], "0.2996826171875");  // channel 0: a constant 0.3 V
            EXPECT_EQ(row[8], "2.4896240234375");  // channel 7: 2.49 V
        }
    }
}
