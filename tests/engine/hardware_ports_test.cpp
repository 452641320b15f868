// The hardware back ends, on a machine with no parallel port: a fake /proc tree, a fake
// memory file and a fake system-call seam stand in for the kernel.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "engine/hardware_ports.h"

namespace fs = std::filesystem;
using namespace engine;

namespace {

struct TempTree {
    fs::path root = fs::temp_directory_path() /
                    ("zelmor-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    TempTree() { fs::create_directories(root); }
    ~TempTree() { fs::remove_all(root); }
    void write(const std::string& relative, const std::string& text) {
        fs::create_directories((root / relative).parent_path());
        std::ofstream(root / relative, std::ios::binary) << text;
    }
    static inline int counter = 0;
};

// Files of the fake tree are opened for real; devices answer from the maps.
struct FakeCalls final : SystemCalls {
    std::map<std::string, int> openErrors;  // path -> errno
    int claimError = 0;
    std::uint8_t status = 0x7F;
    std::vector<std::pair<int, std::uint8_t>> dataWrites;  // fd, value
    std::vector<unsigned long> ioctls;
    std::map<unsigned long, int> permitted;  // ioperm base -> errno (0: granted)
    std::vector<std::pair<std::uint16_t, std::uint8_t>> outs;
    int nextFd = 100;

    int open(const char* path, int flags) override {
        auto e = openErrors.find(path);
        if (e != openErrors.end()) {
            errno = e->second;
            return -1;
        }
        if (std::string(path).find("/parport") != std::string::npos) return nextFd++;
        return ::open(path, flags);
    }
    int close(int fd) override { return fd >= 100 ? 0 : ::close(fd); }
    int ioctl(int fd, unsigned long request, void* arg) override {
        ioctls.push_back(request);
        if (request == PPCLAIM && claimError) {
            errno = claimError;
            return -1;
        }
        if (request == PPWDATA) dataWrites.push_back({fd, *static_cast<std::uint8_t*>(arg)});
        if (request == PPRSTATUS) *static_cast<std::uint8_t*>(arg) = status;
        return 0;
    }
    long pread(int fd, void* buffer, std::size_t count, long offset) override {
        return ::pread(fd, buffer, count, offset);
    }
    int ioperm(unsigned long from, unsigned long, int) override {
        const int e = permitted.count(from) ? permitted[from] : EPERM;
        errno = e;
        return e ? -1 : 0;
    }
    std::uint8_t inb(std::uint16_t port) override { return static_cast<std::uint8_t>(port); }
    void outb(std::uint8_t value, std::uint16_t port) override { outs.push_back({port, value}); }
};

std::string memoryWith(std::initializer_list<std::uint16_t> words, std::size_t size = 0x500) {
    std::string memory(size, '\0');
    std::size_t at = 0x408;
    for (auto w : words) {
        if (at + 1 < size) {
            memory[at] = static_cast<char>(w & 0xFF);
            memory[at + 1] = static_cast<char>(w >> 8);
        }
        at += 2;
    }
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

    t.write("mem", memoryWith({0x378, 0x278, 0}));
    PortTable table = ReadPortTable(sys, (t.root / "mem").string(), kernel);
    EXPECT_EQ(table.words, (std::array<std::uint16_t, 3>{0x378, 0x278, 0}));
    EXPECT_EQ(table.source, "the BIOS table");

    t.write("zeros", memoryWith({0, 0, 0}));  // UEFI without the legacy table, a PCI card
    table = ReadPortTable(sys, (t.root / "zeros").string(), kernel);
    EXPECT_EQ(table.words, (std::array<std::uint16_t, 3>{0xEC00, 0x378, 0}));
    EXPECT_NE(table.source.find("kernel"), std::string::npos);

    t.write("short", memoryWith({0x378}, 0x409));
    table = ReadPortTable(sys, (t.root / "short").string(), kernel);
    EXPECT_EQ(table.words[0], 0xEC00);
    EXPECT_NE(table.source.find("short read"), std::string::npos);

    sys.openErrors["/dev/mem"] = EACCES;
    table = ReadPortTable(sys, "/dev/mem", kernel);
    EXPECT_EQ(table.words[1], 0x378);
    EXPECT_NE(table.source.find("Permission denied"), std::string::npos);
}

TEST(HardwarePorts, PpdevWritesTheDataRegisterReadsTheRawStatusAndRefusesTheRest) {
    FakeCalls sys;
    std::string error;
    PortTable table{{0x378, 0x3BC, 0}, "the BIOS table"};
    auto ports = PpdevPorts::Open(sys, "/dev", {{0, 0x378}}, table, error);
    ASSERT_TRUE(ports) << error;
    EXPECT_EQ(sys.ioctls, (std::vector<unsigned long>{PPEXCL, PPCLAIM}));
    // 0x3BC has no device behind it: the program sees it as absent.
    EXPECT_EQ(ports->table().words, (std::array<std::uint16_t, 3>{0x378, 0, 0}));
    EXPECT_EQ(ports->describe(), "0x378 (/dev/parport0)");

    ports->write(0x378, 0x1F);
    sys.status = 0x3F;  // strobe low, busy pin high: bit 7 reads 0 as on the wire
    EXPECT_EQ(ports->read(0x379), 0x3F);
    EXPECT_EQ(sys.dataWrites, (std::vector<std::pair<int, std::uint8_t>>{{100, 0x1F}}));

    ports->write(0x37A, 0x04);  // control register
    ports->write(0x3BC, 0x01);
    EXPECT_EQ(ports->read(0x378), 0xFF);  // the data register is never read back
    EXPECT_EQ(ports->refused(), 3u);
    EXPECT_EQ(sys.dataWrites.size(), 1u);

    unsigned char bios[6] = {};
    ASSERT_TRUE(ports->readPhysical(0x408, bios, 6));
    EXPECT_EQ(bios[0] | bios[1] << 8, 0x378);
    EXPECT_EQ(bios[2] | bios[3] << 8, 0);
    EXPECT_FALSE(ports->readPhysical(0xF0000, bios, 6));
}

TEST(HardwarePorts, DirectOpensOnlyTheListedPortsAndRefusesEverythingElse) {
    FakeCalls sys;
    sys.permitted[0x378] = 0;
    std::string error;
    auto ports = DirectPorts::Open(sys, {{0x378, 0, 0}, "the BIOS table"}, error);
    ASSERT_TRUE(ports) << error;
    ports->write(0x378, 0x1F);
    EXPECT_EQ(ports->read(0x379), 0x79);
    ports->write(0x3BC, 0x1F);
    ports->write(0x37B, 0x1F);
    EXPECT_EQ(ports->read(0x80), 0xFF);
    EXPECT_EQ(sys.outs, (std::vector<std::pair<std::uint16_t, std::uint8_t>>{{0x378, 0x1F}}));
    EXPECT_EQ(ports->refused(), 3u);
}

TEST(HardwarePorts, EachSetUpFailureSaysWhatToDo) {
    TempTree t;
    t.write("lockdown", "none [integrity] confidentiality\n");
    const std::string locked = (t.root / "lockdown").string();
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
        const std::string line =
            DescribeSetupFailure(c.backend, "/dev/parport0", c.error, c.step, locked);
        EXPECT_EQ(
            line.rfind(std::string(c.backend) + ": /dev/parport0: " + std::strerror(c.error), 0),
            0u)
            << line;
        EXPECT_NE(line.find(c.advice), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos);
    }
    EXPECT_EQ(DescribeSetupFailure("direct", "x", EPERM, SetupStep::ioperm, "/nonexistent")
                  .find("locked"),
              std::string::npos);

    // And the back ends give them.
    FakeCalls sys;
    std::string error;
    sys.openErrors["/dev/parport0"] = EACCES;
    EXPECT_FALSE(PpdevPorts::Open(sys, "/dev", {{0, 0x378}}, {{0x378, 0, 0}, ""}, error));
    EXPECT_NE(error.find("group lp"), std::string::npos);
    sys.openErrors.clear();
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
        const std::string error = DropPrivileges();
        const bool dropped = error.empty() && getuid() == 65534 && geteuid() == 65534 &&
                             getgid() == 65534 && getegid() == 65534 &&
                             getgroups(0, nullptr) == 0 && setuid(0) != 0 && setgid(0) != 0;
        _exit(dropped ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(HardwarePorts, RealPortNamedByTheEnvironment) {
    const char* named = std::getenv("ZELMOR_TEST_PPDEV");  // e.g. /dev/parport0
    if (!named) GTEST_SKIP() << "set ZELMOR_TEST_PPDEV=/dev/parportN to test a real port";
    const std::vector<KernelPort> kernel = ListKernelPorts();
    const std::string device(named);
    const int number = std::atoi(device.substr(device.find("parport") + 7).c_str());
    auto k =
        std::find_if(kernel.begin(), kernel.end(), [&](auto& p) { return p.number == number; });
    ASSERT_NE(k, kernel.end()) << "the kernel lists no " << device;
    std::string error;
    auto ports = PpdevPorts::Open(RealSystemCalls(), device.substr(0, device.rfind('/')), kernel,
                                  {{k->base, 0, 0}, "test"}, error);
    ASSERT_TRUE(ports) << error;
    ports->write(k->base, 0x1F);
    ports->read(static_cast<std::uint16_t>(k->base + 1));
    EXPECT_EQ(ports->refused(), 0u);
    EXPECT_GT(ScanCeiling(*ports, static_cast<std::uint16_t>(k->base + 1)), 0);
}
