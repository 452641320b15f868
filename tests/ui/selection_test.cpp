// Choosing the port, and the program's start and end as the real binary shows them.
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

#include "engine/panels/startup.h"
#include "program_fixture.h"

using namespace engine::testing;
using zelmor::lptPanel;
using zelmor::mainPanel;

TEST_F(Program, ThePortPanelShowsTheBiosTableAndClosingItTouchesNoPortAndEndsWithZero) {
    const int rc = run([&] {
        EXPECT_EQ(ShownText(lptPanel, PORTS_LPT1), "0x378");
        EXPECT_EQ(ShownText(lptPanel, PORTS_LPT2), "0x278");
        EXPECT_FALSE(IsDimmed(lptPanel, PORTS_LPT1));
        EXPECT_TRUE(IsDimmed(lptPanel, PORTS_LPT3));
        EXPECT_EQ(ShownText(lptPanel, PORTS_SELECT), "Choose a port…");
        EXPECT_EQ(StatusLine(lptPanel), engine::kSimulatedStatus);
        EXPECT_EQ(PortListHeading(lptPanel), "Parallel ports of the simulated converter:");
        ClosePanel(lptPanel);
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(endedByProgram);
    EXPECT_TRUE(converter.accesses().empty());
}

TEST_F(Program, TheFirstArrowKeyOpensThePortListOnTheEntryEnterWouldChoose) {
    run([&] {
        PressKey(lptPanel, PORTS_SELECT, Qt::Key_Down);  // before any choice: the first
        EXPECT_EQ(HighlightedItem(lptPanel, PORTS_SELECT), 0);
        PressKey(lptPanel, PORTS_SELECT, Qt::Key_Escape);
        ChooseItem(lptPanel, PORTS_SELECT, 2);  // refused, yet the current entry
        EXPECT_EQ(HighlightedItem(lptPanel, PORTS_SELECT), -1);
        PressKey(lptPanel, PORTS_SELECT, Qt::Key_Down);
        EXPECT_EQ(HighlightedItem(lptPanel, PORTS_SELECT), 2);
    });
}

TEST_F(Program, AnAbsentPortIsRefusedAndChoosingLpt1BindsItOpensTheMainPanelAndHidesThePorts) {
    run([&] {
        ChooseItem(lptPanel, PORTS_SELECT, 2);
        ASSERT_EQ(engine::PopupLog().size(), 1u);
        EXPECT_EQ(engine::PopupLog()[0].title + ": " + engine::PopupLog()[0].message,
                  "Configuration error: Selected port doesn't exist");
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
    });
    ASSERT_EQ(engine::PopupLog().size(), 2u);
    EXPECT_EQ(engine::PopupLog()[1].title, "Zelmor on LPT for Win9x and WinNT");
    EXPECT_EQ(engine::PopupLog()[1].message,
              "Version 1.0 - the Zelmor project\nE-mail: zelmor@example.org\n"
              "Web: https://www.example.org/zelmor\n\n");  // and empty fourth and fifth lines
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

TEST_F(Program, AStartUpRefusalIsAlsoShownInAWindow) {
    std::string name = "zelmor", resources = "--io=ppdev";  // no parallel port device here
    char* argv[] = {name.data(), resources.data(), nullptr};
    engine::testing::ShowRefusalsOffscreen(true);
    unsetenv("SUDO_UID");  // the start-up would give this test process's rise up
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(engine::RunProgram(2, argv, zelmor::main, zelmor::callbacks), -1);
    const std::string err = ::testing::internal::GetCapturedStderr();
    engine::testing::ShowRefusalsOffscreen(false);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Zelmor cannot start");
    EXPECT_EQ(engine::PopupLog()[0].message + "\n", err);
}

TEST_F(Program, TheRealBinaryStartedThroughSudoKeepsNoPrivilegeOnceItsWindowsOpen) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to start it with privileges";
    // The program and its panels where the user it becomes can reach them.
    QTemporaryDir reachable;
    QFile::setPermissions(reachable.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                QFileDevice::ExeOther);
    QFile::copy(ZELMOR_BINARY, reachable.filePath("zelmor"));
    for (const char* panel : {"Parallela.uir", "zelmor.uir"})
        QFile::copy(QString(ZELMOR_RESOURCES_DIR) + "/" + panel, reachable.filePath(panel));
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("SUDO_UID", "65534");
    env.insert("SUDO_GID", "0");  // would keep group root if taken
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(reachable.filePath("zelmor"), {});
    auto identity = [&p] {
        std::ifstream status("/proc/" + std::to_string(p.processId()) + "/status");
        std::string identity;
        for (std::string line; std::getline(status, line);)
            for (const char* key : {"Uid:", "Gid:", "Groups:", "Cap"})
                if (line.rfind(key, 0) == 0) identity += line + "\n";
        return identity;
    };
    const std::string dropped =
        "Uid:\t65534\t65534\t65534\t65534\nGid:\t65534\t65534\t65534\t65534\nGroups:\t \n"
        "CapInh:\t0000000000000000\nCapPrm:\t0000000000000000\nCapEff:\t0000000000000000\n"
        "CapBnd:";
    QElapsedTimer waited;
    waited.start();
    do QTest::qWait(100);
    while (identity().rfind(dropped, 0) != 0 && waited.elapsed() < 10000);
    QTest::qWait(300);  // and it stays so
    EXPECT_EQ(identity().rfind(dropped, 0), 0u) << identity();
    EXPECT_NE(identity().find("CapAmb:\t0000000000000000"), std::string::npos) << identity();
    EXPECT_EQ(p.state(), QProcess::Running);
    p.kill();
    p.waitForFinished();
}
