#include <QProcess>
#include <QTemporaryDir>

#include "engine/startup.h"
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
        EXPECT_EQ(StatusLine(lptPanel), "Simulated converter");
        ChooseMenuItem(lptPanel, "Usci");
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(endedByProgram);
    EXPECT_TRUE(bench.accesses().empty());
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
        EXPECT_TRUE(bench.accesses().empty());

        ChooseItem(lptPanel, PORTS_SELECT, 2);  // the same choice again is no change
        EXPECT_EQ(engine::PopupLog().size(), 1u);
        ChooseItem(lptPanel, PORTS_SELECT, 1);  // LPT2: present, nothing attached
        EXPECT_GE(mainPanel, 1);
        EXPECT_EQ(Title(mainPanel), "ZELMOR on LPT (base address = 278h)");
        ChooseMenuItem(mainPanel, "Usci");
    });
    EXPECT_TRUE(endedByProgram);
}

TEST_F(Program, ChoosingLpt1BindsThePortOpensTheMainPanelAndHidesThePortPanel) {
    run([&] {
        ChooseItem(lptPanel, PORTS_SELECT, 0);
        ASSERT_FALSE(bench.accesses().empty());
        EXPECT_EQ(bench.accesses()[0], (engine::PortAccess{0x378, true, 0x1F}));
        EXPECT_EQ(bench.accesses().size(), 1u);
        EXPECT_TRUE(IsShown(mainPanel));
        EXPECT_FALSE(IsShown(lptPanel));
        EXPECT_EQ(Title(mainPanel), "ZELMOR on LPT (base address = 378h)");
        EXPECT_EQ(StatusLine(mainPanel), "Simulated converter");
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
    QTemporaryDir empty;
    std::string name = "zelmor", resources = "--resources=" + empty.path().toStdString();
    char* argv[] = {name.data(), resources.data(), nullptr};
    engine::testing::ShowRefusalsOffscreen(true);
    ::testing::internal::CaptureStderr();
    const int rc = engine::RunProgram(2, argv, zelmor::main, zelmor::callbacks);
    const std::string err = ::testing::internal::GetCapturedStderr();
    engine::testing::ShowRefusalsOffscreen(false);
    EXPECT_EQ(rc, -1);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Zelmor cannot start");
    EXPECT_EQ(engine::PopupLog()[0].message + "\n", err);
}
