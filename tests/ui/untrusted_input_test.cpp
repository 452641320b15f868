// What the real binary does with what comes from outside it: words on its command line, an
// option's value, a resource's text, the environment, a display that is not there.
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "engine/dialogs.h"
#include "engine/escape.h"
#include "engine/panels/startup.h"
#include "program_fixture.h"

namespace {

struct Outcome {
    int code = -2;  // -2: still running when looked at, then ended
    std::string err;
};

Outcome runBinary(const std::vector<std::string>& args,
                  const std::vector<std::pair<QString, QString>>& env, int waitMs) {
    QProcess p;
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const char* name :
         {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "SUDO_UID"})
        environment.remove(name);
    for (const auto& [name, value] : env) environment.insert(name, value);
    p.setProcessEnvironment(environment);
    QStringList list;
    for (const std::string& a : args) list << QString::fromStdString(a);
    p.start(ZELMOR_BINARY, list);
    Outcome r;
    if (p.waitForFinished(waitMs)) {
        r.code = p.exitCode();
    } else {
        p.kill();
        p.waitForFinished();
    }
    r.err = p.readAllStandardError().toStdString();
    return r;
}

}  // namespace

TEST(RealBinary, SaysEachRefusalOnOneEscapedLineAndRunsWithTheProgramsOwnWords) {
    const std::string binary = ZELMOR_BINARY;
    const QString offscreen = "offscreen";
    QTemporaryDir strangeEncoding;
    QFile resource(strangeEncoding.filePath("Parallela.uir"));
    ASSERT_TRUE(resource.open(QIODevice::WriteOnly));
    resource.write("<?xml version=\"1.0\" encoding=\"x\xc2\x9b\"?>\n<ui version=\"4.0\"/>\n");
    resource.close();
    // No X server on this display: neither its socket file nor one in the abstract namespace.
    const std::string deadDisplay = ":7391";
    std::ifstream sockets("/proc/net/unix");
    const std::string listening{std::istreambuf_iterator<char>(sockets), {}};
    ASSERT_EQ(listening.find("/tmp/.X11-unix/X7391"), std::string::npos);
    ASSERT_FALSE(QFile::exists("/tmp/.X11-unix/X7391"));
    const std::string noX =
        "zelmor: no display could be opened (no X server answers on DISPLAY \"" + deadDisplay +
        "\"). Run it in a desktop session, under Xvfb (xvfb-run -a " + binary +
        " foo), or without a screen (QT_QPA_PLATFORM=offscreen " + binary + " foo).\n";

    const struct {
        const char* what;
        std::vector<std::string> args;
        std::vector<std::pair<QString, QString>> env;
        int code;
        std::string err;  // what standard error holds
        int lines;        // how many lines it holds in all
        bool needsRoot = false;
    } cases[] = {
        {"the program's words", {"foo", "bar"}, {{"QT_QPA_PLATFORM", offscreen}}, -2, "", 0},
        {"a misspelt option among them",
         {"foo", "--io=ppdev", "--bogus"},
         {{"QT_QPA_PLATFORM", offscreen}},
         255,
         "zelmor: unknown option \"--bogus\"\n\nUsage: zelmor [engine options] [arguments]\n",
         -1},
        {"an option's value",
         {"--io=\xc2\x9b"
          "2J\xe2\x80\xa8"},
         {{"QT_QPA_PLATFORM", offscreen}},
         255,
         "zelmor: --io takes simulated, ppdev or direct (got \"\\xc2\\x9b2J\\xe2\\x80\\xa8\")\n",
         -1},
        {"a resource's encoding name",
         {"--resources=" + strangeEncoding.path().toStdString()},
         {{"QT_QPA_PLATFORM", offscreen}},
         255,
         "x\\xc2\\x9b is an invalid encoding name",
         1},
        {"no X server", {"foo"}, {{"DISPLAY", QString::fromStdString(deadDisplay)}}, 255, noX, 1},
        {"no X server for the platform asked for",
         {"foo"},
         {{"DISPLAY", QString::fromStdString(deadDisplay)}, {"QT_QPA_PLATFORM", "xcb"}},
         255,
         noX,
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
        const Outcome r = runBinary(c.args, c.env, c.code == -2 ? 3000 : 30000);
        EXPECT_EQ(r.code, c.code) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.what << ": " << r.err;
        if (c.lines >= 0) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.lines) << c.what;
        }
        // Line by line, escaping it again would change nothing: no byte a terminal acts on.
        std::string lines = r.err;
        std::replace(lines.begin(), lines.end(), '\n', ' ');
        EXPECT_EQ(engine::Printable(lines), lines) << c.what;
    }
}

// A panel that cannot be loaded is the program's to end on: a line on standard error, no
// window waiting for OK. (A back end that cannot be opened keeps its window: selection_test.)
TEST_F(Program, AMissingPortPanelEndsTheStartWithNoWindow) {
    QTemporaryDir empty;
    std::string name = "zelmor", resources = "--resources=" + empty.path().toStdString();
    char* argv[] = {name.data(), resources.data(), nullptr};
    unsetenv("SUDO_UID");  // the start-up would give this test process's rise up
    engine::testing::ShowRefusalsOffscreen(true);
    ::testing::internal::CaptureStderr();
    const int rc = engine::RunProgram(2, argv, zelmor::main, zelmor::callbacks);
    const std::string err = ::testing::internal::GetCapturedStderr();
    engine::testing::ShowRefusalsOffscreen(false);
    EXPECT_EQ(rc, -1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("Parallela.uir"), std::string::npos) << err;
    EXPECT_EQ(engine::PopupLog().size(), 0u);
}
