// A run with no one at the panels: the real binary given --port, --rate, --record and
// --seconds, with no display, on the simulated converter.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <string>
#include <vector>

TEST(UnattendedRun, EndsWithTheCodeOfHowItEndedAndSaysWhyOnStandardError) {
    QTemporaryDir dir;
    const QString kept = dir.filePath("kept.csv"), fresh = dir.filePath("fresh.csv");
    QFile(kept).open(QIODevice::WriteOnly);
    const QString port = "--port=LPT1";
    const struct {
        QStringList args;
        int code;
        QString err;           // how standard error ends; empty: nothing on it
        QString display = "";  // on DISPLAY; by default none at all
    } cases[] = {
        {{port, "--rate=200", "--record=" + fresh, "--seconds=0.5"}, 0, ""},
        // The program's popup, on one line, closed as the operator would.
        {{"--port=LPT3", "--seconds=5"},
         255,
         "popup \"Configuration error\": Selected port doesn't "
         "exist\nzelmor: ending with exit code -1: the chosen "
         "port does not exist"},
        {{port, "--sim-fault=unpowered", "--seconds=30"}, 2, "code 2: a conversion timed out"},
        {{port, "--record=" + dir.filePath("no/x"), "--seconds=30"}, 5, "5: the recording failed"},
        {{port, "--record=" + kept, "--seconds=30"}, 255, "exists; give --overwrite to replace it"},
        {{port, "--record=" + kept, "--overwrite", "--seconds=0.2"}, 0, "", ":7391"},  // dead
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
        if (!c.display.isEmpty()) env.insert("DISPLAY", c.display);
        p.setProcessEnvironment(env);  // no display to be had: it takes the offscreen one itself
        p.start(ZELMOR_BINARY, c.args);
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), c.code);
        EXPECT_TRUE(c.err.isEmpty() ? err.isEmpty() : err.endsWith(c.err + "\n"))
            << err.toStdString();
    }
}
