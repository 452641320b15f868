// The ppdev back end end to end, as shipped: the start-up, the back end and the program run
// unchanged, and their C library calls (open, ioctl, pread, the /proc files) reach the fake
// kernel that this binary is run under (LD_PRELOAD; see fake_kernel.cpp).
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QProcess>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "engine/dialogs.h"
#include "engine/panels/startup.h"
#include "engine/panels/test_interface.h"
#include "link/basicIO.h"
#include "ui/panel_ids.h"
#include "ui/zelmor.h"

using namespace engine::testing;
using zelmor::lptPanel;
using zelmor::mainPanel;

namespace {

template <typename F>
F fakeKernel(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

std::string kernelLog() {
    return fakeKernel<const char* (*)()>("zelmor_fake_kernel_log")();
}

void setKernel(std::initializer_list<std::pair<const char*, const char*>> settings) {
    for (const char* name : {"ZELMOR_FAKE_PORTS", "ZELMOR_FAKE_BIOS", "ZELMOR_FAKE_OPEN_ERROR",
                             "ZELMOR_FAKE_CLAIM_ERROR"})
        unsetenv(name);
    for (const auto& [name, value] : settings)
        if (value) setenv(name, value, 1);
    fakeKernel<void (*)()>("zelmor_fake_kernel_reset")();
}

long accesses() {
    const std::string log = kernelLog();
    const auto at = log.rfind("accesses ");
    return at == std::string::npos ? -1 : std::atol(log.c_str() + at + 9);
}

// The simulated converter's two steady channels: a constant and one near full scale.
constexpr double kChannel0 = 0.2996826171875, kChannel7 = 2.4896240234375;

class Ppdev : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(fakeKernel<void*>("zelmor_fake_kernel_log"))
            << "run through CTest, which preloads the fake kernel";
        ResetEngine(zelmor::callbacks);
        zelmor::lptPanel = zelmor::mainPanel = zelmor::index = porta = 0;
        zelmor::addr1 = zelmor::addr2 = zelmor::addr3 = zelmor::lpt = 0;
    }
    void TearDown() override { ResetEngine(zelmor::callbacks); }

    // The whole start-up with --io=ppdev and the options given; the script, if any, acts
    // inside the program's event loop.
    int start(const std::function<void()>& script, std::vector<std::string> args = {}) {
        // The start-up gives up a rise it finds, and this is the test process: under
        // "sudo ctest" it would become the invoking user half way through the run.
        unsetenv("SUDO_UID");
        if (script)
            QTimer::singleShot(0, [&] {
                script();
                if (!engine::QuitRequested()) QuitUserInterface(0);
            });
        args.insert(args.begin(), {"zelmor", "--io=ppdev", "--resources=" ZELMOR_RESOURCES_DIR});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return engine::RunProgram(static_cast<int>(args.size()), argv.data(), zelmor::main,
                                  zelmor::callbacks);
    }
};

}  // namespace

TEST_F(Ppdev, ThePortsComeFromTheBiosTableOrTheKernelOnlyTheChosenOneIsClaimedAndALostOneIsTold) {
    const struct {
        const char *ports, *bios, *shown, *source;  // shown: LPT1-3, "-" for dimmed
        const char* listedBy;                       // the heading's and the status line's words
        int choose;
    } cases[] = {
        {"0:0x378,1:0x278", nullptr, "0x378 0x278 - ", " (/dev/mem: Permission denied)",
         "listed by the kernel", 0},
        // 0x3BC has no device behind it; a card above 0x7FFF.
        {"0:0xEC00", "0x3BC,0xEC00,0", "- 0xec00 - ", "", "listed by the BIOS", 1},
        {"0:0x378", "0x3BC,0,0", "0x378 - - ", " (the BIOS table lists none the kernel drives)",
         "listed by the kernel", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ports);
        setKernel({{"ZELMOR_FAKE_PORTS", c.ports}, {"ZELMOR_FAKE_BIOS", c.bios}});
        const int rc = start([&] {
            std::string shown;
            for (int id : {PORTS_LPT1, PORTS_LPT2, PORTS_LPT3})
                shown += (IsDimmed(lptPanel, id) ? "-" : ShownText(lptPanel, id)) + " ";
            EXPECT_EQ(shown, c.shown);
            const std::string status = StatusLine(lptPanel);
            EXPECT_EQ(status.substr(status.find(" \u2014 ") + 5),
                      std::string(c.listedBy) + c.source);
            EXPECT_EQ(PortListHeading(lptPanel), "Parallel ports " + std::string(c.listedBy) + ":");
            EXPECT_EQ(kernelLog().find("PP"), std::string::npos);  // nothing claimed yet

            ChooseItem(lptPanel, PORTS_SELECT, c.choose);
            ASSERT_GE(mainPanel, 1);
            const std::string base = ShownText(lptPanel, c.choose ? PORTS_LPT2 : PORTS_LPT1);
            EXPECT_EQ(Title(mainPanel), "ZELMOR on LPT (base address = " + base.substr(2) + "h)");
            FireTimer(mainPanel, MAIN_TIMER);
            EXPECT_EQ(Value(mainPanel, MAIN_CH0), kChannel0);
            EXPECT_EQ(Value(mainPanel, MAIN_CH7), kChannel7);
            EXPECT_NE(kernelLog().find("PPEXCL 0\nPPCLAIM 0 "), std::string::npos);
            EXPECT_EQ(kernelLog().find("PPCLAIM 1"), std::string::npos);  // LPT2 left alone
            if (&c != std::end(cases) - 1) return;
            // The card goes away in the middle of the next scan: told once, then a floating bus.
            fakeKernel<void (*)(long)>("zelmor_fake_kernel_fail_after")(accesses() + 100);
            ::testing::internal::CaptureStderr();
            for (int i = 0; i < 5; ++i) FireTimer(mainPanel, MAIN_TIMER);
            const std::string err = ::testing::internal::GetCapturedStderr();
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
            EXPECT_EQ(StatusLine(mainPanel),
                      "ppdev: /dev/parport0 stopped answering (No such device): it now reads as "
                      "if nothing were attached. Check the card and the driver (dmesg), then start "
                      "zelmor again. \u2014 LPT1 was lost: the scans since are not measurements "
                      "\u2014 check the card and its driver");
            EXPECT_EQ(Value(mainPanel, MAIN_CH7), 0.0);
        });
        EXPECT_EQ(rc, 0);
        // Released; a lost port only closed, the kernel releasing it.
        EXPECT_NE(
            kernelLog().find(&c == std::end(cases) - 1 ? "close 0 (released)\n" : "close 0\n"),
            std::string::npos)
            << kernelLog();
    }
}

TEST_F(Ppdev, ABusyPortIsToldWhenChosenAndEndingBeforeAnyChoiceTouchesNothing) {
    setKernel({{"ZELMOR_FAKE_PORTS", "0:0x378,1:0x278"}, {"ZELMOR_FAKE_CLAIM_ERROR", "0:EBUSY"}});
    EXPECT_EQ(start([] { ChooseMenuItem(lptPanel, "Usci"); }), 0);
    EXPECT_EQ(kernelLog(),
              "open /dev/parport0\nopen /dev/parport1\nclose 0\nclose 1\naccesses 0\n");

    setKernel({{"ZELMOR_FAKE_PORTS", "0:0x378,1:0x278"}, {"ZELMOR_FAKE_CLAIM_ERROR", "0:EBUSY"}});
    start([] {
        ChooseItem(lptPanel, PORTS_SELECT, 0);
        ASSERT_EQ(engine::PopupLog().size(), 1u);
        EXPECT_EQ(engine::PopupLog()[0].title, "Port unavailable");
        EXPECT_NE(engine::PopupLog()[0].message.find("/dev/parport0: Device or resource busy"),
                  std::string::npos);
        ASSERT_GE(mainPanel, 1);
        FireTimer(mainPanel, MAIN_TIMER);
        EXPECT_EQ(Value(mainPanel, MAIN_CH0), 0.0);  // a floating bus reads no code
        EXPECT_EQ(engine::PopupLog().size(), 1u);
        EXPECT_EQ(accesses(), 0);
    });
}

TEST_F(Ppdev, EachRefusalOfTheKernelHasItsOwnLineAndFix) {
    const struct {
        std::pair<const char*, const char*> setting;
        const char* fix;
    } cases[] = {
        {{"ZELMOR_FAKE_OPEN_ERROR", "EACCES"}, "usermod -aG lp"},
        {{"ZELMOR_FAKE_OPEN_ERROR", "ENOENT"}, "modprobe parport_pc ppdev"},
        {{"ZELMOR_FAKE_OPEN_ERROR", "ENXIO"}, "No port answers behind this device"},
        {{"ZELMOR_FAKE_OPEN_ERROR", "ENODEV"}, "No port answers behind this device"},
        {{"ZELMOR_FAKE_PORTS", ""}, "modprobe parport_pc ppdev"},
    };
    for (const auto& c : cases) {
        setKernel({{"ZELMOR_FAKE_PORTS", "0:0x378"}, c.setting});
        QProcess p;  // in this process's environment: offscreen, the fake kernel preloaded
        p.start(ZELMOR_BINARY, {"--io=ppdev"});
        ASSERT_TRUE(p.waitForFinished(30000));
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        EXPECT_EQ(p.exitCode(), 255) << c.setting.second;
        EXPECT_TRUE(err.contains(c.fix)) << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
    }
}

TEST_F(Ppdev, ATimedRunEndsAtOnceWithItsOwnCodeWhenThePortIsRefusedOrLost) {
    const struct {
        const char* claimError;
        long failAfter;  // register accesses before the card goes away; -1: it stays
        int code;
        const char* said;
    } cases[] = {
        {"0:EBUSY", -1, 4, "zelmor: ending with exit code 4: the port could not be claimed\n"},
        {nullptr, 20000, 3, "zelmor: ending with exit code 3: the port was lost\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        setKernel({{"ZELMOR_FAKE_PORTS", "0:0x378"}, {"ZELMOR_FAKE_CLAIM_ERROR", c.claimError}});
        fakeKernel<void (*)(long)>("zelmor_fake_kernel_fail_after")(c.failAfter);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(start(nullptr, {"--port=LPT1", "--rate=1000", "--seconds=60"}), c.code);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.substr(err.rfind('\n', err.size() - 2) + 1), c.said) << err;
    }
}
