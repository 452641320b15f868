// The port back ends on a machine with no parallel port: a fake /proc tree, a fake memory file
// and a fake system-call seam stand in for the kernel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <tuple>

#include "engine/ports/direct.h"
#include "engine/ports/ppdev.h"
#include "support/temp_folder.h"

using namespace engine;
using Words = std::array<std::uint16_t, 3>;
using Written = std::vector<std::pair<int, std::uint8_t>>;

namespace {

std::string put(const TempFolder& root, const std::string& relative, const std::string& text) {
    const auto path = std::filesystem::path(root.path) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
}

// Files are opened for real; /dev/parportN (as descriptor 100 + N) and the port instructions
// answer from here.
struct FakeCalls final : SystemCalls {
    int dataError = 0;                                  // errno of every PPWDATA from now on
    std::vector<std::pair<int, unsigned long>> ioctls;  // descriptor, request
    Written written;                                    // descriptor or port, value
    unsigned long allowed = 0;                          // the one base ioperm allows; EPERM else
    std::vector<std::pair<unsigned long, unsigned long>> permitted;  // from, count

    int open(const char* path, int flags) override {
        if (const char* n = std::strstr(path, "/parport")) return 100 + std::atoi(n + 8);
        return ::open(path, flags);
    }
    int close(int fd) override { return fd >= 100 ? 0 : ::close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override {
        ioctls.push_back({fd, request});
        if (request == PPWDATA && dataError) return errno = dataError, -1;
        if (request == PPWDATA) written.push_back({fd, *static_cast<std::uint8_t*>(arg)});
        if (request == PPRSTATUS) *static_cast<std::uint8_t*>(arg) = 0x3F;
        return 0;
    }
    long pread(int fd, void* b, std::size_t n, long at) override { return ::pread(fd, b, n, at); }
    int ioperm(unsigned long from, unsigned long count, int) override {
        if (from != allowed) return errno = EPERM, -1;
        permitted.push_back({from, count});
        return 0;
    }
    std::uint8_t inb(std::uint16_t port) override { return static_cast<std::uint8_t>(port); }
    void outb(std::uint8_t value, std::uint16_t port) override { written.push_back({port, value}); }
};

std::string memoryWith(Words words, std::size_t size = 0x500) {
    std::string memory(0x408, '\0');
    for (auto w : words) memory += {static_cast<char>(w & 0xFF), static_cast<char>(w >> 8)};
    memory.resize(size, '\0');
    return memory;
}

}  // namespace

TEST(HardwarePorts, TheKernelsPortsAndParallelRangesComeFromProc) {
    TempFolder proc;
    put(proc, "sys/dev/parport/parport1/base-addr", "632\t1656\n");
    put(proc, "sys/dev/parport/parport0/base-addr", "888\t1912\n");
    put(proc, "sys/dev/parport/parport2/base-addr", "garbage\n");
    put(proc, "sys/dev/parport/default/spintime", "500\n");
    EXPECT_EQ(ListKernelPorts(proc.path), (std::vector<KernelPort>{{0, 0x378}, {1, 0x278}}));
    put(proc, "ioports",
        "0000-001f : dma1\n0020-0021 : pic1\n  0378-037a : parport0\n"
        "0cf8-0cff : PCI conf1\nec00-ec07 : 0000:05:00.0\n  ec00-ec02 : parport1\n");
    EXPECT_EQ(ParallelPortBases(proc.path), (std::vector<std::uint16_t>{0x278, 0x378, 0xEC00}));

    TempFolder bare;
    EXPECT_TRUE(ListKernelPorts(bare.path).empty());
    EXPECT_EQ(ParallelPortBases(bare.path), (std::vector<std::uint16_t>{0x278, 0x378, 0x3BC}));
}

TEST(HardwarePorts, ThePortTableComesFromMemoryOrElseFromTheKernel) {
    TempFolder t;
    FakeCalls sys;
    const struct {
        std::string memory;
        Words words;
        std::string source, why;
    } cases[] = {
        {put(t, "mem", memoryWith({0x378, 0x278, 0})), {0x378, 0x278, 0}, "listed by the BIOS", ""},
        // No legacy table (UEFI, a PCI card), a short read, no access: the kernel's ports.
        {put(t, "zeros", memoryWith({0, 0, 0})),
         {0xEC00, 0x378, 0},
         "listed by the kernel",
         "the BIOS table lists no port"},
        {put(t, "short", memoryWith({0x378, 0, 0}, 0x409)),
         {0xEC00, 0x378, 0},
         "listed by the kernel",
         t.path + "/short: short read"},
    };
    for (const auto& c : cases) {
        const PortTable table = ReadPortTable(sys, c.memory, {{0, 0xEC00}, {1, 0x378}});
        EXPECT_EQ(std::tuple(table.words, table.source, table.why),
                  std::tuple(c.words, c.source, c.why));
    }
}

TEST(HardwarePorts, EachBackEndServesOnlyItsPortsDataAndStatusRegistersAndDescribesItself) {
    FakeCalls sys;
    sys.allowed = 0x378;
    std::string error;
    auto ppdev = PpdevPorts::Open(sys, "/dev", {{0, 0x378}, {1, 0x278}},
                                  {{0x378, 0x3BC, 0x278}, kListedByBios, ""}, error);
    // Only ports the kernel knows as parallel ports get permission, and only two registers.
    auto direct = DirectPorts::Open(sys, {{0x20, 0x378, 0}, kListedByBios, ""}, {0x378}, error);
    ASSERT_TRUE(ppdev && direct) << error;
    EXPECT_EQ(sys.permitted, (std::vector<std::pair<unsigned long, unsigned long>>{{0x378, 2}}));
    const std::string dash = " \u2014 ";
    const struct {
        HardwarePorts* ports;
        Words table;  // a word with no device or no permission behind it: absent
        std::uint8_t status;
        Written written;
        std::string text;
    } cases[] = {
        {ppdev.get(),
         {0x378, 0, 0x278},
         0x3F,
         {{100, 0x1F}},  // raw: bit 7 low is pin 11 high
         "Port 0x378 (/dev/parport0), 0x278 (/dev/parport1) through ppdev"},
        {direct.get(),
         {0, 0x378, 0},
         0x79,
         {{0x378, 0x1F}},
         "Port 0x378 through direct port access"},
    };
    for (const auto& c : cases) {
        sys.written.clear();
        c.ports->write(0x378, 0x1F);
        EXPECT_EQ(c.ports->read(0x379), c.status);
        c.ports->write(0x37A, 0x04);  // the control register is never written
        c.ports->write(0x3BC, 0x01);
        EXPECT_EQ(c.ports->read(0x378), 0xFF);  // nor the data register read back
        EXPECT_EQ(c.ports->refused(), 3u);
        EXPECT_EQ(sys.written, c.written);
        // The port table, served as the BIOS data area holds it.
        unsigned char bios[6] = {};
        ASSERT_TRUE(c.ports->readPhysical(0x408, bios, 6));
        for (int i = 0; i < 3; ++i) EXPECT_EQ(bios[2 * i] | bios[2 * i + 1] << 8, c.table[i]);
        EXPECT_FALSE(c.ports->readPhysical(0xF0000, bios, 6));
        const std::string text = c.text + dash + "listed by the BIOS" +
                                 (c.ports == direct.get() ? dash +
                                                                "0x20 is not a parallel port "
                                                                "the kernel knows, not used"
                                                          : "");
        EXPECT_EQ(c.ports->status(), (BackendStatus{text}));
        UsePortBackend(c.ports);
        EXPECT_EQ(ActiveBackendDescription(), text);  // what a recording names
    }
    UsePortBackend(nullptr);
    EXPECT_EQ(ActiveBackendDescription(),
              "No port back end" + dash + "every port reads as if nothing were attached");

    // The card goes away: told once, not asked again.
    int told = 0;
    ppdev->onStatusChange([&] { ++told; });
    sys.dataError = ENODEV;
    for (int i = 0; i < 3; ++i) ppdev->write(0x378, 0x1D);
    EXPECT_EQ(told, 1);
    EXPECT_EQ(ppdev->status().tone, BackendTone::alarm);
    EXPECT_EQ(std::count(sys.ioctls.begin(), sys.ioctls.end(), std::pair{100, PPWDATA}), 2);
}

TEST(HardwarePorts, EachSetUpFailureSaysWhatToDo) {
    TempFolder t;
    const std::string locked = put(t, "lockdown", "none [integrity] confidentiality\n");
    const struct {
        const char* backend;
        int error;
        SetupStep step;
        const char* advice;
    } cases[] = {
        {"ppdev", ENXIO, SetupStep::claimPort, "modprobe -r lp"},
        {"ppdev", EBUSY, SetupStep::claimPort, "modprobe -r lp"},
        {"ppdev", EINTR, SetupStep::claimPort, "again"},
        {"ppdev", ENOTTY, SetupStep::claimPort, "dmesg"},
        {"direct", EPERM, SetupStep::ioperm, "--io=ppdev"},
        {"direct", ENOSYS, SetupStep::ioperm, "--io=simulated"},
    };
    for (const auto& c : cases) {
        const std::string line = DescribeSetupFailure(c.backend, "/dev/x", c.error, c.step, locked);
        EXPECT_EQ(line.rfind(std::string(c.backend) + ": /dev/x: " + std::strerror(c.error), 0),
                  0u);
        EXPECT_NE(line.find(c.advice), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    EXPECT_EQ(DescribeSetupFailure("direct", "x", EPERM, SetupStep::ioperm, "/none").find("ppdev"),
              std::string::npos);
    FakeCalls refusing;  // direct's own: every ioperm refused
    std::string error;
    EXPECT_FALSE(DirectPorts::Open(refusing, {{0x378, 0, 0}, "", ""}, {0x378}, error));
    EXPECT_NE(error.find("setcap"), std::string::npos);
}

TEST(HardwarePorts, RealPortNamedByTheEnvironment) {
    const char* named = std::getenv("ZELMOR_TEST_PPDEV");  // e.g. /dev/parport0
    if (!named) GTEST_SKIP() << "set ZELMOR_TEST_PPDEV=/dev/parportN to test a real port";
    const std::string device(named);
    const int number = std::atoi(device.substr(device.find("parport") + 7).c_str());
    const auto kernel = ListKernelPorts();
    auto k =
        std::find_if(kernel.begin(), kernel.end(), [&](auto& p) { return p.number == number; });
    ASSERT_NE(k, kernel.end()) << "the kernel lists no " << device;
    std::string error;
    auto ports = PpdevPorts::Open(RealSystemCalls(), device.substr(0, device.rfind('/')), kernel,
                                  {{k->base, 0, 0}, "test", ""}, error);
    ASSERT_TRUE(ports) << error;
    ports->write(k->base, 0x1F);
    EXPECT_GT(ports->scanCeiling(), 0);
    EXPECT_EQ(ports->refused(), 0u);
}
