// What the real binary does with what comes from outside it: words on its command line, an
// option's value, a resource's text, the environment, a display that is not there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/escape.h"

TEST(RealBinary, SaysEachRefusalOnOneEscapedLineAndRunsWithTheProgramsOwnWords) {
    const std::string binary = ZELMOR_BINARY;
    // A panel that cannot be loaded: the program ends on it with no window waiting for OK.
    QTemporaryDir strangeEncoding;
    QFile resource(strangeEncoding.filePath("Parallela.uir"));
    ASSERT_TRUE(resource.open(QIODevice::WriteOnly));
    resource.write("<?xml version=\"1.0\" encoding=\"x\xc2\x9b\"?>\n<ui version=\"4.0\"/>\n");
    resource.close();
    // Recordings for --open: one read back into a viewer, one refused at its third line.
    const std::string recordings = strangeEncoding.path().toStdString();
    std::ofstream(recordings + "/run.csv") << "# Zelmor recording\ntime_s,ch0_V\n0.0,1\n0.1,2\n";
    std::ofstream(recordings + "/bad\x1b.csv") << "time_s,ch0_V\n0.5,1\n0.2,1\n";
    const std::string deadDisplay = ":7391";  // no X server there on the test machines

    const QString offscreen = "offscreen";
    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::pair<QString, QString>> env;
        int code;                // -2: still running when looked at
        std::string err;         // what standard error holds
        int lines;               // how many lines it holds in all; -1: not counted
        bool needsRoot = false;  // only root is started through sudo
    } cases[] = {
        // A normal run says nothing, even with no runtime folder set (a root session, CI).
        {"the program's words", {"foo", "bar"}, {{"QT_QPA_PLATFORM", offscreen}}, -2, "", 0},
        {"--help", {"--help"}, {{"QT_QPA_PLATFORM", offscreen}}, 0, "", 0},
        // Without a display the suggestion is the command as started, ready to paste.
        {"no display", {"--io=simulated"}, {}, 255, "xvfb-run -a " + binary + " --io=simulated", 1},
        {"an option's value",
         {"foo",
          "--io=\xc2\x9b"
          "2J\xe2\x80\xa8"},
         {{"QT_QPA_PLATFORM", offscreen}},
         255,
         "zelmor: --io takes simulated, ppdev or direct (got \"\\xc2\\x9b2J\\xe2\\x80\\xa8\")\n\n"
         "Usage: zelmor [engine options] [arguments]\n",
         -1},
        {"a resource's encoding name",
         {"--resources=" + strangeEncoding.path().toStdString()},
         {{"QT_QPA_PLATFORM", offscreen}},
         255,
         "x\\xc2\\x9b is an invalid encoding name",
         1},
        {"a recording viewed",
         {"--open=" + recordings + "/run.csv"},
         {{"QT_QPA_PLATFORM", offscreen}},
         -2,
         "",
         0},
        {"a recording refused",
         {"--open=" + recordings + "/bad\x1b.csv"},
         {{"QT_QPA_PLATFORM", offscreen}},
         255,
         "zelmor: Cannot open " + recordings +
             "/bad\\x1b.csv, line 3: the time \"0.2\" s goes back",
         1},
        {"no X server",
         {"foo"},
         {{"DISPLAY", QString::fromStdString(deadDisplay)}},
         255,
         "zelmor: no display could be opened (no X server answers on DISPLAY \"" + deadDisplay +
             "\"). Run it in a desktop session, under Xvfb (xvfb-run -a " + binary +
             " foo), or without a screen (QT_QPA_PLATFORM=offscreen " + binary + " foo).\n",
         1},
        {"SUDO_UID",
         {},
         {{"QT_QPA_PLATFORM", offscreen}, {"SUDO_UID", "1\n\x1b[2J"}},
         255,
         "zelmor: started through sudo, but SUDO_UID (\"1\\x0a\\x1b[2J\") names no user to "
         "return to; refusing to run as root\n",
         1,
         true},
    };
    for (const auto& c : cases) {
        if (c.needsRoot && geteuid() != 0) continue;
        QProcess p;
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY",
                                 "XDG_SESSION_TYPE", "SUDO_UID", "XDG_RUNTIME_DIR"})
            environment.remove(name);
        for (const auto& [name, value] : c.env) environment.insert(name, value);
        p.setProcessEnvironment(environment);
        QStringList args;
        for (const std::string& a : c.args) args << QString::fromStdString(a);
        p.start(ZELMOR_BINARY, args);
        int code = -2;
        if (p.waitForFinished(c.code == -2 ? 3000 : 30000)) {
            code = p.exitCode();
        } else {
            p.kill();
            p.waitForFinished();
        }
        const std::string err = p.readAllStandardError().toStdString();
        EXPECT_EQ(code, c.code) << c.what << ": " << err;
        EXPECT_NE(err.find(c.err), std::string::npos) << c.what << ": " << err;
        if (c.lines >= 0) {
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), c.lines) << c.what;
        }
        // Line by line, escaping it again would change nothing: no byte a terminal acts on.
        std::string lines = err;
        std::replace(lines.begin(), lines.end(), '\n', ' ');
        EXPECT_EQ(engine::Printable(lines), lines) << c.what;
    }
}
