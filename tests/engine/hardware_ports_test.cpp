// The hardware back ends, on a machine with no parallel port: a fake /proc tree, a fake
// memory file and a fake system-call seam stand in for the kernel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/hardware_ports.h"

namespace fs = std::filesystem;
using namespace engine;
using Words = std::array<std::uint16_t, 3>;

namespace {

struct TempTree {
    fs::path root = fs::temp_directory_path() / ("zelmor-test-" + std::to_string(getpid()));
    TempTree() { fs::create_directories(root); }
    ~TempTree() { fs::remove_all(root); }
    std::string write(const std::string& relative, const std::string& text) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << text;
        return (root / relative).string();
    }
};

// Files are opened for real; /dev/parport* and the port instructions answer from here.
struct FakeCalls final : SystemCalls {
    std::map<std::string, int> openErrors;  // path -> errno
    int claimError = 0;
    std::vector<unsigned long> ioctls;
    std::vector<std::pair<int, std::uint8_t>> written;  // fd or port, value
    std::map<unsigned long, int> ioperms;               // base -> errno; others EPERM

    int open(const char* path, int flags) override {
        if (openErrors.count(path)) return errno = openErrors[path], -1;
        return std::strstr(path, "/parport") ? 100 : ::open(path, flags);
    }
    int close(int fd) override { return fd == 100 ? 0 : ::close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override {
        ioctls.push_back(request);
        if (request == PPCLAIM && claimError) return errno = claimError, -1;
        if (request == PPWDATA) written.push_back({fd, *static_cast<std::uint8_t*>(arg)});
        if (request == PPRSTATUS) *static_cast<std::uint8_t*>(arg) = 0x3F;
        return 0;
    }
    long pread(int fd, void* b, std::size_t n, long at) override { return ::pread(fd, b, n, at); }
    int ioperm(unsigned long from, unsigned long, int) override {
        errno = ioperms.count(from) ? ioperms[from] : EPERM;
        return errno ? -1 : 0;
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

TEST(HardwarePorts, TheKernelsPortsComeFromProcInOrderOfNumber) {
    TempTree proc;
    proc.write("sys/dev/parport/parport1/base-addr", "632\t1656\n");
    proc.write("sys/dev/parport/parport0/base-addr", "888\t1912\n");
    proc.write("sys/dev/parport/parport2/base-addr", "garbage\n");
    proc.write("sys/dev/parport/default/spintime", "500\n");
    EXPECT_EQ(ListKernelPorts(proc.root.string()),
              (std::vector<KernelPort>{{0, 0x378}, {1, 0x278}}));
    EXPECT_TRUE(ListKernelPorts((proc.root / "none").string()).empty());
}

TEST(HardwarePorts, ThePortTableComesFromMemoryOrElseFromTheKernel) {
    TempTree t;
    FakeCalls sys;
    const std::vector<KernelPort> kernel = {{0, 0xEC00}, {1, 0x378}};
    PortTable table = ReadPortTable(sys, t.write("mem", memoryWith({0x378, 0x278, 0})), kernel);
    EXPECT_EQ(table.words, (Words{0x378, 0x278, 0}));
    EXPECT_EQ(table.source, "the BIOS table");
    // No legacy table (UEFI, a PCI card), a short read, no access: the kernel's ports.
    for (const std::string& path :
         {t.write("zeros", memoryWith({0, 0, 0})),
          t.write("short", memoryWith({0x378, 0, 0}, 0x409)), std::string("/dev/mem")}) {
        sys.openErrors["/dev/mem"] = EACCES;
        table = ReadPortTable(sys, path, kernel);
        EXPECT_EQ(table.words, (Words{0xEC00, 0x378, 0})) << path;
        EXPECT_NE(table.source.find("kernel"), std::string::npos) << path;
    }
    EXPECT_NE(table.source.find("Permission denied"), std::string::npos);
}

TEST(HardwarePorts, PpdevWritesTheDataRegisterReadsTheRawStatusAndRefusesTheRest) {
    FakeCalls sys;
    std::string error;
    auto ports = PpdevPorts::Open(sys, "/dev", {{0, 0x378}}, {{0x378, 0x3BC, 0}, "BIOS"}, error);
    ASSERT_TRUE(ports) << error;
    EXPECT_EQ(sys.ioctls, (std::vector<unsigned long>{PPEXCL, PPCLAIM}));
    EXPECT_EQ(ports->table().words, (Words{0x378, 0, 0}));  // 0x3BC has no device: absent
    EXPECT_EQ(ports->describe(), "0x378 (/dev/parport0)");

    ports->write(0x378, 0x1F);
    EXPECT_EQ(ports->read(0x379), 0x3F);  // raw: bit 7 low is pin 11 high
    ports->write(0x37A, 0x04);            // control register
    ports->write(0x3BC, 0x01);
    EXPECT_EQ(ports->read(0x378), 0xFF);  // the data register is never read back
    EXPECT_EQ(ports->refused(), 3u);
    EXPECT_EQ(sys.written, (std::vector<std::pair<int, std::uint8_t>>{{100, 0x1F}}));

    unsigned char bios[6] = {};
    ASSERT_TRUE(ports->readPhysical(0x408, bios, 6));
    EXPECT_EQ(bios[0] | bios[1] << 8, 0x378);
    EXPECT_EQ(bios[2] | bios[3] << 8, 0);
    EXPECT_FALSE(ports->readPhysical(0xF0000, bios, 6));
}

TEST(HardwarePorts, DirectOpensOnlyTheListedPortsAndRefusesEverythingElse) {
    FakeCalls sys;
    sys.ioperms[0x378] = 0;
    std::string error;
    auto ports = DirectPorts::Open(sys, {{0x378, 0, 0}, "BIOS"}, error);
    ASSERT_TRUE(ports) << error;
    ports->write(0x378, 0x1F);
    EXPECT_EQ(ports->read(0x379), 0x79);
    ports->write(0x3BC, 0x1F);
    ports->write(0x37B, 0x1F);
    EXPECT_EQ(ports->read(0x80), 0xFF);
    EXPECT_EQ(sys.written, (std::vector<std::pair<int, std::uint8_t>>{{0x378, 0x1F}}));
    EXPECT_EQ(ports->refused(), 3u);
}

TEST(HardwarePorts, EachSetUpFailureSaysWhatToDo) {
    TempTree t;
    const std::string locked = t.write("lockdown", "none [integrity] confidentiality\n");
    const struct {
        const char* backend;
        int error;
        SetupStep step;
        const char* advice;
    } cases[] = {
        {"ppdev", EACCES, SetupStep::openDevice, "group lp"},
        {"ppdev", ENOENT, SetupStep::noDevice, "modprobe parport_pc ppdev"},
        {"ppdev", EBUSY, SetupStep::claimPort, "Another driver holds the port"},
        {"direct", EPERM, SetupStep::ioperm, "CAP_SYS_RAWIO"},
        {"direct", EPERM, SetupStep::ioperm, "locked down (Secure Boot)"},
        {"direct", ENOSYS, SetupStep::ioperm, "container or virtual machine"},
    };
    for (const auto& c : cases) {
        const std::string line = DescribeSetupFailure(c.backend, "/dev/x", c.error, c.step, locked);
        EXPECT_EQ(line.rfind(std::string(c.backend) + ": /dev/x: " + std::strerror(c.error), 0),
                  0u);
        EXPECT_NE(line.find(c.advice), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    EXPECT_EQ(DescribeSetupFailure("direct", "x", EPERM, SetupStep::ioperm, "/none").find("locked"),
              std::string::npos);

    // And the back ends give them.
    FakeCalls sys;
    std::string error;
    sys.claimError = EBUSY;
    EXPECT_FALSE(PpdevPorts::Open(sys, "/dev", {{0, 0x378}}, {{0x378, 0, 0}, ""}, error));
    EXPECT_NE(error.find("printing"), std::string::npos);
    EXPECT_FALSE(PpdevPorts::Open(sys, "/dev", {}, {{0x378, 0, 0}, ""}, error));
    EXPECT_NE(error.find("modprobe"), std::string::npos);
    EXPECT_FALSE(DirectPorts::Open(sys, {{0x378, 0, 0}, ""}, error));
    EXPECT_NE(error.find("CAP_SYS_RAWIO"), std::string::npos);
}

TEST(HardwarePorts, DroppingPrivilegesLeavesNoWayBackToRoot) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to have privileges to drop";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        setenv("SUDO_UID", "65534", 1);
        setenv("SUDO_GID", "65534", 1);
        const bool dropped = DropPrivileges().empty() && getuid() == 65534 && geteuid() == 65534 &&
                             getgid() == 65534 && getegid() == 65534 &&
                             getgroups(0, nullptr) == 0 && setuid(0) != 0 && setgid(0) != 0;
        _exit(dropped ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
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
                                  {{k->base, 0, 0}, "test"}, error);
    ASSERT_TRUE(ports) << error;
    ports->write(k->base, 0x1F);
    EXPECT_GT(ScanCeiling(*ports, static_cast<std::uint16_t>(k->base + 1)), 0);
    EXPECT_EQ(ports->refused(), 0u);
}
