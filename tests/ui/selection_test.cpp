#include <grp.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <fstream>

#include "engine/panels/startup.h"
#include "program_fixture.h"

using namespace engine::testing;
using zelmor::lptPanel;
using zelmor::mainPanel;

TEST_F(Program, ThePortPanelShowsTheBiosTableAndEndingThereTouchesNoPort) {
    const int rc = run([&] {
        EXPECT_TRUE(IsShown(lptPanel));
        EXPECT_EQ(ShownText(lptPanel, PORTS_LPT1), "0x378");
        EXPECT_EQ(ShownText(lptPanel, PORTS_LPT2), "0x278");
        EXPECT_FALSE(IsDimmed(lptPanel, PORTS_LPT1));
        EXPECT_TRUE(IsDimmed(lptPanel, PORTS_LPT3));
        EXPECT_EQ(ShownText(lptPanel, PORTS_SELECT), "Choose a port…");
        EXPECT_EQ(StatusLine(lptPanel), engine::kSimulatedStatus);
        ChooseMenuItem(lptPanel, "Usci");
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(endedByProgram);
    EXPECT_TRUE(converter.accesses().empty());
    EXPECT_EQ(zelmor::addr3, 0);
}

TEST_F(Program, AnAbsentPortIsRefusedAndChoosingLpt1BindsItOpensTheMainPanelAndHidesThePorts) {
    run([&] {
        ChooseItem(lptPanel, PORTS_SELECT, 2);
        ASSERT_EQ(engine::PopupLog().size(), 1u);
        EXPECT_EQ(engine::PopupLog()[0].title + ": " + engine::PopupLog()[0].message,
                  "Configuration error: Selected port doesn't exist");
        EXPECT_TRUE(IsShown(lptPanel));
        EXPECT_EQ(mainPanel, 0);
        ChooseItem(lptPanel, PORTS_SELECT, 2);  // the same choice again is no change
        EXPECT_EQ(engine::PopupLog().size(), 1u);
        EXPECT_TRUE(converter.accesses().empty());

        ChooseItem(lptPanel, PORTS_SELECT, 0);
        ASSERT_EQ(converter.accesses().size(), 1u);
        EXPECT_EQ(converter.accesses()[0], (engine::PortAccess{0x378, true, 0x1F}));
        EXPECT_TRUE(IsShown(mainPanel));
        EXPECT_FALSE(IsShown(lptPanel));
        EXPECT_EQ(Title(mainPanel), "ZELMOR on LPT (base address = 378h)");
        EXPECT_EQ(StatusLine(mainPanel), engine::kSimulatedStatus);
        ChooseMenuItem(mainPanel, "About");
        ClosePanel(mainPanel);
    });
    EXPECT_TRUE(endedByProgram);
    ASSERT_EQ(engine::PopupLog().size(), 2u);
    EXPECT_EQ(engine::PopupLog()[1].title, "Zelmor on LPT for Win9x and WinNT");
    EXPECT_EQ(engine::PopupLog()[1].message,
              "Version 1.0 - the Zelmor project\nE-mail: zelmor@example.org\n"
              "Web: https://www.example.org/zelmor\n\n");  // and empty fourth and fifth lines
}

TEST_F(Program, BrowsingThePortListWithKeysChoosesNothingUntilEnter) {
    run([&] {
        auto* combo = control<QComboBox>(PORTS_SELECT, lptPanel);
        combo->setFocus();
        for (int key : {Qt::Key_Down, Qt::Key_Up, Qt::Key_End, Qt::Key_L}) {
            QTest::keyClick(combo, static_cast<Qt::Key>(key));
            EXPECT_EQ(mainPanel, 0) << "a browse bound a port";
            EXPECT_TRUE(converter.accesses().empty());
            EXPECT_TRUE(combo->view()->isVisible()) << "the key opened the list instead";
            QTest::keyClick(combo->view(), Qt::Key_Escape);  // and closing it chooses nothing
            EXPECT_EQ(mainPanel, 0);
        }
        QTest::keyClick(combo, Qt::Key_Down);
        QTest::keyClick(combo->view(), Qt::Key_Down);
        EXPECT_EQ(mainPanel, 0);
        QTest::keyClick(combo->view(), Qt::Key_Return);
        EXPECT_GE(mainPanel, 1);  // the deliberate choice
        EXPECT_EQ(porta, 0x378);  // one step down the list: LPT1
    });
}

TEST_F(Program, ClosingThePortPanelEndsTheProgramWithZero) {
    EXPECT_EQ(run([&] { ClosePanel(lptPanel); }), 0);
    EXPECT_TRUE(endedByProgram);
}

TEST_F(Program, AMissingMainPanelLeavesThePortPanelUpAndTheLinkBound) {
    QTemporaryDir onlyPortPanel;
    QFile::copy(ZELMOR_RESOURCES_DIR "/Parallela.uir", onlyPortPanel.filePath("Parallela.uir"));
    engine::SetResourceFolder(onlyPortPanel.path().toStdString());
    run([&] {
        ::testing::internal::CaptureStderr();
        ChooseItem(lptPanel, PORTS_SELECT, 0);
        EXPECT_NE(::testing::internal::GetCapturedStderr().find("zelmor.uir"), std::string::npos);
        EXPECT_TRUE(IsShown(lptPanel));
        EXPECT_TRUE(engine::PopupLog().empty());
        EXPECT_EQ(porta, 0x378);
    });
}

namespace {
struct Outcome {
    int code = -2;  // -2: still running when looked at, then ended
    QString err;
};
Outcome runBinary(const QStringList& args, const QStringList& unset = {},
                  const char* platform = "offscreen", int waitMs = 30000) {
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : unset) env.remove(name);
    if (platform) env.insert("QT_QPA_PLATFORM", platform);
    p.setProcessEnvironment(env);
    p.start(ZELMOR_BINARY, args);
    Outcome o;
    if (p.waitForFinished(waitMs)) {
        o.code = p.exitCode();
    } else {
        p.kill();
        p.waitForFinished();
    }
    o.err = QString::fromLocal8Bit(p.readAllStandardError());
    return o;
}
}  // namespace

TEST_F(Program, TheRealBinarysExitCodesAndWhatItSaysOnStandardError) {
    Outcome o = runBinary({"--sim-fault=smoke"});
    EXPECT_EQ(o.code, 255);
    EXPECT_TRUE(o.err.contains("--sim-fault")) << o.err.toStdString();
    EXPECT_EQ(runBinary({"--help"}).code, 0);

    // Without a display the suggestion is the command as started, ready to paste.
    o = runBinary({"--io=simulated"}, {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}, nullptr);
    EXPECT_EQ(o.code, 255);
    EXPECT_TRUE(o.err.contains(QString("xvfb-run -a %1 --io=simulated").arg(ZELMOR_BINARY)))
        << o.err.toStdString();

    // A normal run says nothing, even with no runtime folder set (a root session, CI).
    o = runBinary({}, {"XDG_RUNTIME_DIR"}, "offscreen", 3000);
    EXPECT_EQ(o.code, -2) << "it ended at start-up";
    EXPECT_EQ(o.err, "");
}

TEST_F(Program, AStartUpRefusalIsAlsoShownInAWindow) {
    std::string name = "zelmor", resources = "--io=ppdev";  // no parallel port device here
    char* argv[] = {name.data(), resources.data(), nullptr};
    engine::testing::ShowRefusalsOffscreen(true);
    unsetenv("SUDO_UID");  // the start-up would give this test process's rise up
    ::testing::internal::CaptureStderr();
    const int rc = engine::RunProgram(2, argv, zelmor::main, zelmor::callbacks);
    const std::string err = ::testing::internal::GetCapturedStderr();
    engine::testing::ShowRefusalsOffscreen(false);
    EXPECT_EQ(rc, -1);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Zelmor cannot start");
    EXPECT_EQ(engine::PopupLog()[0].message + "\n", err);
}

namespace {
// The real binary started as root would start it, with the environment given and a rise set
// up by raise() in the child before it starts (system calls only: after a fork of this
// threaded process nothing that takes a lock is safe); once it has had time to start, what
// /proc says of the running process's ids and capabilities, and whether it still runs.
std::string RunningIdentity(const QStringList& environment, void (*raise)(), const char* dropped) {
    // The program and its panels where the user it becomes can reach them: the build tree
    // may lie under a folder only root can enter.
    QTemporaryDir reachable;
    QFile::setPermissions(reachable.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
    QFile::copy(ZELMOR_BINARY, reachable.filePath("zelmor"));
    for (const char* panel : {"Parallela.uir", "zelmor.uir"})
        QFile::copy(QString(ZELMOR_RESOURCES_DIR) + "/" + panel, reachable.filePath(panel));
    auto env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys())
        if (name.startsWith("SUDO_")) env.remove(name);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    for (const QString& e : environment) env.insert(e.section('=', 0, 0), e.section('=', 1));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setChildProcessModifier(raise);
    p.start(reachable.filePath("zelmor"), {});
    auto read = [&p] {
        std::ifstream status("/proc/" + std::to_string(p.processId()) + "/status");
        std::string line, identity;
        while (std::getline(status, line))
            for (const char* key : {"Uid:", "Gid:", "Groups:", "Cap"})
                if (line.rfind(key, 0) == 0) identity += line + "\n";
        return identity;
    };
    QElapsedTimer waited;
    waited.start();
    do QTest::qWait(100);
    while (read().rfind(dropped, 0) != 0 && waited.elapsed() < 10000);
    QTest::qWait(300);  // and it stays so
    const std::string identity =
        read() + (p.state() == QProcess::Running ? "still running\n" : "ended\n");
    p.kill();
    p.waitForFinished();
    return identity;
}
}  // namespace

TEST_F(Program, TheRealBinaryKeepsNoPrivilegeOnceItsWindowsOpen) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to start it with privileges";
    const char* dropped =
        "Uid:\t65534\t65534\t65534\t65534\nGid:\t65534\t65534\t65534\t65534\nGroups:\t \n"
        "CapInh:\t0000000000000000\nCapPrm:\t0000000000000000\nCapEff:\t0000000000000000\n";
    const struct {
        const char* how;
        QStringList environment;
        void (*raise)();
    } rises[] = {
        // Through sudo, with a SUDO_GID that would have kept group root.
        {"sudo", {"SUDO_UID=65534", "SUDO_GID=0"}, [] {}},
        // As an ordinary user holding cap_sys_rawio, as a file capability would give it.
        {"capability",
         {},
         [] {
             setgroups(0, nullptr);
             prctl(PR_SET_KEEPCAPS, 1, 0, 0, 0);
             setresgid(65534, 65534, 65534);
             setresuid(65534, 65534, 65534);
             __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
             __user_cap_data_struct rawio[2] = {};
             rawio[0].effective = rawio[0].permitted = rawio[0].inheritable = 1u << CAP_SYS_RAWIO;
             syscall(SYS_capset, &header, rawio);
             prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_RAISE, CAP_SYS_RAWIO, 0, 0);
         }},
    };
    for (const auto& r : rises) {
        const std::string identity = RunningIdentity(r.environment, r.raise, dropped);
        EXPECT_EQ(identity.rfind(dropped, 0), 0u) << r.how << "\n" << identity;
        EXPECT_NE(identity.find("still running"), std::string::npos) << r.how << "\n" << identity;
        EXPECT_NE(identity.find("CapAmb:\t0000000000000000"), std::string::npos) << identity;
    }
}
