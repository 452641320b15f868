// Port back ends for a real parallel port on Linux, and what they need at start-up: the
// kernel's list of ports, the BIOS port table, the error to show.
//   ppdev  - /dev/parportN through the ppdev driver; access through group lp, no root.
//   direct - ioperm() and in/out instructions; needs CAP_SYS_RAWIO, given up before any window.
// Both serve the data register (write) and the status register (read) of the ports they
// opened, and refuse every other access: it is counted and never reaches the hardware.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/port_io.h"

namespace engine {

// The system calls the hardware back ends make: the real ones, or a test's.
class SystemCalls {
  public:
    virtual ~SystemCalls() = default;
    virtual int open(const char* path, int flags) = 0;  // -1 and errno on failure
    virtual int close(int fd) = 0;
    virtual int ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual long pread(int fd, void* buffer, std::size_t count, long offset) = 0;
    virtual int ioperm(unsigned long from, unsigned long count, int on) = 0;
    virtual std::uint8_t inb(std::uint16_t port) = 0;
    virtual void outb(std::uint8_t value, std::uint16_t port) = 0;
};
SystemCalls& RealSystemCalls();

struct KernelPort {
    int number;          // N of /dev/parportN
    std::uint16_t base;  // I/O base address
    bool operator==(const KernelPort& o) const { return number == o.number && base == o.base; }
};
// The kernel's parallel ports in order of number, read from
// procRoot/sys/dev/parport/parportN/base-addr ("888\t1912" is a port at 0x378).
std::vector<KernelPort> ListKernelPorts(const std::string& procRoot = "/proc");

// The bases the kernel knows as parallel ports (its parport devices and the parport ranges
// of procRoot/ioports); when it lists none, the three standard bases 0x3BC, 0x378, 0x278.
std::vector<std::uint16_t> ParallelPortBases(const std::string& procRoot = "/proc");

// The three words of the BIOS port table (LPT1-LPT3) and where they came from.
struct PortTable {
    std::array<std::uint16_t, 3> words{};
    std::string source;
};
// From physical memory when it can be read and lists a port; otherwise (no access, UEFI
// firmware without the legacy table, PCI cards) the kernel's ports in order.
PortTable ReadPortTable(SystemCalls& sys, const std::string& memoryPath,
                        const std::vector<KernelPort>& kernelPorts);

// What the two back ends share: the port table served as physical memory, real pauses,
// refused accesses counted.
class HardwarePorts : public PortBackend {
  public:
    bool readPhysical(std::uint32_t address, void* buffer, std::size_t count) override;
    void pause(double seconds) override;
    std::uint64_t refused() const { return refused_; }
    const PortTable& table() const { return table_; }
    // The opened ports, as "0x378 (/dev/parport0)" or "0x378".
    virtual std::string describe() const = 0;

  protected:
    explicit HardwarePorts(PortTable table) : table_(std::move(table)) {}
    PortTable table_;
    std::uint64_t refused_ = 0;
};

class PpdevPorts final : public HardwarePorts {
  public:
    // Opens devDir/parportN for every port of the table the kernel knows, once each; table
    // entries the kernel has no device for are served as absent, and a table that lists none
    // of the kernel's ports gives way to the kernel's list. nullptr and error on failure.
    // A port is claimed (exclusively) at its first access, and only then: if the claim is
    // refused, a popup names the device and the reason, and the port reads as a floating bus.
    static std::unique_ptr<PpdevPorts> Open(SystemCalls& sys, const std::string& devDir,
                                            const std::vector<KernelPort>& kernelPorts,
                                            PortTable table, std::string& error);
    ~PpdevPorts() override;
    void write(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t read(std::uint16_t address) override;
    std::string describe() const override;
    // Scans per second the claimed port allows, measured when it was claimed; 0 before.
    double ceiling() const { return ceiling_; }
    void onClaimed(std::function<void()> f) { claimed_ = std::move(f); }
    // A claimed port that stops answering (the card removed, the module unloaded) is said
    // once, in one line naming the device and the system's error; it then reads as a
    // floating bus and is not asked again.
    void onLost(std::function<void(const std::string&)> f) { lost_ = std::move(f); }

  private:
    struct Port {
        std::uint16_t base;
        int fd;
        std::string device;
        enum class State { open, claimed, refused, lost } state;
    };
    PpdevPorts(SystemCalls& sys, PortTable table) : HardwarePorts(std::move(table)), sys_(sys) {}
    Port* find(std::uint16_t base);
    bool usable(Port& p);  // claims it on first use
    void lose(Port& p);
    SystemCalls& sys_;
    std::vector<Port> ports_;
    double ceiling_ = 0;
    std::function<void()> claimed_;
    std::function<void(const std::string&)> lost_;
};

class DirectPorts final : public HardwarePorts {
  public:
    // Takes I/O permission for the data and status registers of each port the table lists
    // that is also among parallelBases, and no other; other table words are served as absent
    // and named in notes().
    static std::unique_ptr<DirectPorts> Open(SystemCalls& sys, PortTable table,
                                             const std::vector<std::uint16_t>& parallelBases,
                                             std::string& error);
    void write(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t read(std::uint16_t address) override;
    std::string describe() const override;
    const std::string& notes() const { return notes_; }

  private:
    DirectPorts(SystemCalls& sys, PortTable table) : HardwarePorts(std::move(table)), sys_(sys) {}
    SystemCalls& sys_;
    std::vector<std::uint16_t> bases_;
    std::string notes_;
};

enum class SetupStep { openDevice, claimPort, noDevice, ioperm };
// One line: the back end, the device, the system's error text, and what to do about it.
std::string DescribeSetupFailure(const std::string& backend, const std::string& device, int error,
                                 SetupStep step,
                                 const std::string& lockdownPath = "/sys/kernel/security/lockdown");

// Port accesses the converter link makes in one eight-channel scan: 416 writes, 144 reads
// and the strobe polls, which end at the first on a converter that answers at once.
constexpr int kAccessesPerScan = 568;
// Times a burst of status reads and gives the scans per second the back end allows.
double ScanCeiling(PortBackend& ports, std::uint16_t statusAddress);

}  // namespace engine
