#include <grp.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <cstring>
#include <fstream>
#include <vector>

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

TEST_F(Program, AnAbsentPortIsRefusedAndThePortPanelStaysForAnotherChoice) {
    run([&] {
        ChooseItem(lptPanel, PORTS_SELECT, 2);
        ASSERT_EQ(engine::PopupLog().size(), 1u);
        EXPECT_EQ(engine::PopupLog()[0].title, "Configuration error");
        EXPECT_EQ(engine::PopupLog()[0].message, "Selected port doesn't exist");
        EXPECT_TRUE(IsShown(lptPanel));
        EXPECT_EQ(mainPanel, 0);
        EXPECT_TRUE(converter.accesses().empty());

        ChooseItem(lptPanel, PORTS_SELECT, 2);  // the same choice again is no change
        EXPECT_EQ(engine::PopupLog().size(), 1u);
        ChooseItem(lptPanel, PORTS_SELECT, 1);  // LPT2: present, nothing attached
        EXPECT_GE(mainPanel, 1);
        EXPECT_EQ(Title(mainPanel), "ZELMOR on LPT (base address = 278h)");
        ChooseMenuItem(mainPanel, "Usci");
    });
    EXPECT_TRUE(endedByProgram);
}

TEST_F(Program, BrowsingThePortListWithKeysChoosesNothingUntilEnter) {
    run([&] {
        auto* combo = qobject_cast<QComboBox*>(engine::FindControl(lptPanel, PORTS_SELECT)->widget);
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

TEST_F(Program, ChoosingLpt1BindsThePortOpensTheMainPanelAndHidesThePortPanel) {
    run([&] {
        ChooseItem(lptPanel, PORTS_SELECT, 0);
        ASSERT_FALSE(converter.accesses().empty());
        EXPECT_EQ(converter.accesses()[0], (engine::PortAccess{0x378, true, 0x1F}));
        EXPECT_EQ(converter.accesses().size(), 1u);
        EXPECT_TRUE(IsShown(mainPanel));
        EXPECT_FALSE(IsShown(lptPanel));
        EXPECT_EQ(Title(mainPanel), "ZELMOR on LPT (base address = 378h)");
        EXPECT_EQ(StatusLine(mainPanel), engine::kSimulatedStatus);
        ChooseMenuItem(mainPanel, "About");
        ClosePanel(mainPanel);
    });
    EXPECT_TRUE(endedByProgram);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Zelmor on LPT for Win9x and WinNT");
    const std::string& about = engine::PopupLog()[0].message;
    EXPECT_EQ(about.rfind("Version 1.0 - ", 0), 0u);
    EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 4);
    EXPECT_NE(about.find("@example.org\n"), std::string::npos);
    EXPECT_EQ(about.substr(about.size() - 2), "\n\n");  // the empty fourth and fifth lines
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
    QTemporaryDir empty;
    Outcome o = runBinary({"--resources=" + empty.path()});
    EXPECT_EQ(o.code, 255);
    EXPECT_TRUE(o.err.contains("Parallela.uir")) << o.err.toStdString();
    EXPECT_EQ(runBinary({"--sim-fault=smoke"}).code, 255);
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
// The real binary started as root would start it, with the environment given and a rise
// set up by raise() in the child (system calls only: after a fork of this threaded process
// nothing that takes a lock is safe); once it has had time to start, what /proc says of the
// running process's ids and capabilities. `done` says when to stop waiting.
std::string RunningIdentity(const std::vector<std::string>& environment, void (*raise)(),
                            const std::function<bool(const std::string&)>& done) {
    std::vector<std::string> env = environment;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "SUDO_", 5) != 0 && std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0)
            env.push_back(*e);
    env.push_back("QT_QPA_PLATFORM=offscreen");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    // The program and its panels where the user it becomes can reach them: the build tree
    // may lie under a folder only root can enter.
    QTemporaryDir reachable;
    QFile::setPermissions(reachable.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
    const QString binary = reachable.filePath("zelmor");
    QFile::copy(ZELMOR_BINARY, binary);
    for (const char* panel : {"Parallela.uir", "zelmor.uir"})
        QFile::copy(QString(ZELMOR_RESOURCES_DIR) + "/" + panel, reachable.filePath(panel));
    std::string path = binary.toStdString();
    char* argv[] = {path.data(), nullptr};

    const pid_t child = fork();
    if (child == 0) {
        raise();
        execve(argv[0], argv, envp.data());
        _exit(127);
    }
    auto read = [child] {
        std::ifstream status("/proc/" + std::to_string(child) + "/status");
        std::string line, identity;
        while (std::getline(status, line))
            if (line.rfind("Uid:", 0) == 0 || line.rfind("Gid:", 0) == 0 ||
                line.rfind("Groups:", 0) == 0 || line.rfind("Cap", 0) == 0)
                identity += line + "\n";
        return identity;
    };
    QElapsedTimer waited;
    waited.start();
    do QTest::qWait(100);
    while (!done(read()) && waited.elapsed() < 10000);
    QTest::qWait(300);  // and it stays so
    // A process that ended (its start-up refused) would show the same ids as a zombie.
    int ended = 0;
    const std::string identity =
        read() + (waitpid(child, &ended, WNOHANG) == 0 ? "still running\n" : "ended\n");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return identity;
}
}  // namespace

TEST_F(Program, TheRealBinaryKeepsNoPrivilegeOnceItsWindowsOpen) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to start it with privileges";
    const char* dropped =
        "Uid:\t65534\t65534\t65534\t65534\nGid:\t65534\t65534\t65534\t65534\nGroups:\t \n"
        "CapInh:\t0000000000000000\nCapPrm:\t0000000000000000\nCapEff:\t0000000000000000\n";
    auto isDropped = [dropped](const std::string& identity) {
        return identity.rfind(dropped, 0) == 0;
    };
    // Through sudo, with a SUDO_GID that would have kept group root.
    std::string identity = RunningIdentity(
        {"SUDO_UID=65534", "SUDO_GID=0"}, [] {}, isDropped);
    EXPECT_EQ(identity.substr(0, std::strlen(dropped)), dropped) << identity;
    EXPECT_NE(identity.find("still running"), std::string::npos) << identity;
    // As an ordinary user holding cap_sys_rawio, as a file capability would give it.
    identity = RunningIdentity(
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
        },
        isDropped);
    EXPECT_EQ(identity.substr(0, std::strlen(dropped)), dropped) << identity;
    EXPECT_NE(identity.find("still running"), std::string::npos) << identity;
    EXPECT_NE(identity.find("CapAmb:\t0000000000000000"), std::string::npos) << identity;
}
