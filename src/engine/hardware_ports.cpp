#include "engine/hardware_ports.h"

#include "engine/dialogs.h"

#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <dirent.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define ZELMOR_HAVE_PORT_IO 1
#endif

namespace engine {
namespace {

class LinuxCalls final : public SystemCalls {
  public:
    int open(const char* path, int flags) override { return ::open(path, flags); }
    int close(int fd) override { return ::close(fd); }
    int ioctl(int fd, unsigned long request, void* argument) override {
        return ::ioctl(fd, request, argument);
    }
    long pread(int fd, void* buffer, std::size_t count, long offset) override {
        return ::pread(fd, buffer, count, offset);
    }
#ifdef ZELMOR_HAVE_PORT_IO
    int ioperm(unsigned long from, unsigned long count, int on) override {
        return ::ioperm(from, count, on);
    }
    std::uint8_t inb(std::uint16_t port) override {
        return ::inb(port);
    }
    void outb(std::uint8_t value, std::uint16_t port) override {
        ::outb(value, port);
    }
#else
    int ioperm(unsigned long, unsigned long, int) override {
        errno = ENOSYS;
        return -1;
    }
    std::uint8_t inb(std::uint16_t) override {
        return 0xFF;
    }
    void outb(std::uint8_t, std::uint16_t) override {}
#endif
};

std::string hex(unsigned value) {
    std::ostringstream s;
    s << "0x" << std::hex << value;
    return s.str();
}

}  // namespace

SystemCalls& RealSystemCalls() {
    static LinuxCalls calls;
    return calls;
}

std::vector<KernelPort> ListKernelPorts(const std::string& procRoot) {
    std::vector<KernelPort> ports;
    const std::string folder = procRoot + "/sys/dev/parport";
    DIR* dir = opendir(folder.c_str());
    if (!dir) return ports;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.rfind("parport", 0) != 0 || name.size() == 7) continue;
        const std::string digits = name.substr(7);
        if (!std::all_of(digits.begin(), digits.end(), ::isdigit) || digits.size() > 4) continue;
        std::ifstream file(folder + "/" + name + "/base-addr");
        long base = -1;
        if (!(file >> base) || base <= 0 || base > 0xFFFF) continue;
        ports.push_back({std::stoi(digits), static_cast<std::uint16_t>(base)});
    }
    closedir(dir);
    std::sort(ports.begin(), ports.end(),
              [](const KernelPort& a, const KernelPort& b) { return a.number < b.number; });
    return ports;
}

std::vector<std::uint16_t> ParallelPortBases(const std::string& procRoot) {
    std::vector<std::uint16_t> bases;
    for (const KernelPort& k : ListKernelPorts(procRoot)) bases.push_back(k.base);
    // "  0378-037a : parport0": ranges the kernel's drivers reserved for a parallel port.
    std::ifstream ioports(procRoot + "/ioports");
    std::string line;
    while (std::getline(ioports, line)) {
        const auto colon = line.find(" : ");
        if (colon == std::string::npos || line.compare(colon + 3, 7, "parport") != 0) continue;
        unsigned long from = 0;
        std::istringstream range(line.substr(0, colon));
        if (range >> std::hex >> from && from > 0 && from <= 0xFFFF)
            bases.push_back(static_cast<std::uint16_t>(from));
    }
    if (bases.empty()) bases = {0x3BC, 0x378, 0x278};  // the only bases a PC's ports ever had
    std::sort(bases.begin(), bases.end());
    bases.erase(std::unique(bases.begin(), bases.end()), bases.end());
    return bases;
}

PortTable ReadPortTable(SystemCalls& sys, const std::string& memoryPath,
                        const std::vector<KernelPort>& kernelPorts) {
    PortTable table;
    std::string why;
    const int fd = sys.open(memoryPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = memoryPath + ": " + std::strerror(errno);
    } else {
        unsigned char bytes[6] = {};
        const long got = sys.pread(fd, bytes, sizeof bytes, 0x408);
        const int readError = errno;
        sys.close(fd);
        if (got == static_cast<long>(sizeof bytes)) {
            for (int i = 0; i < 3; ++i)
                table.words[i] = static_cast<std::uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
            if (table.words[0] || table.words[1] || table.words[2]) {
                table.source = "the BIOS table";
                return table;
            }
            why = "the BIOS table lists no port";
        } else {
            why = memoryPath + ": " + (got < 0 ? std::strerror(readError) : "short read");
        }
    }
    table.words = {};
    for (std::size_t i = 0; i < kernelPorts.size() && i < 3; ++i)
        table.words[i] = kernelPorts[i].base;
    table.source = "the kernel's parallel ports (" + why + ")";
    return table;
}

bool HardwarePorts::readPhysical(std::uint32_t address, void* buffer, std::size_t count) {
    // Only the BIOS data area is served: the port table, and zeros around it.
    if (address < 0x400 || count > 0x100 || address + count > 0x500) return false;
    auto* out = static_cast<unsigned char*>(buffer);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t a = address + static_cast<std::uint32_t>(i);
        unsigned char byte = 0;
        if (a >= 0x408 && a < 0x40E) {
            const std::uint16_t word = table_.words[(a - 0x408) / 2];
            byte = static_cast<unsigned char>((a % 2) ? word >> 8 : word & 0xFF);
        }
        out[i] = byte;
    }
    return true;
}

void HardwarePorts::pause(double seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

std::unique_ptr<PpdevPorts> PpdevPorts::Open(SystemCalls& sys, const std::string& devDir,
                                             const std::vector<KernelPort>& kernelPorts,
                                             PortTable table, std::string& error) {
    auto drives = [&](std::uint16_t word) {
        return std::any_of(kernelPorts.begin(), kernelPorts.end(),
                           [&](const KernelPort& k) { return k.base == word; });
    };
    // A BIOS table that lists none of the kernel's ports (a stale table, a PCI card) would
    // leave nothing to choose from although the kernel drives a port: list the kernel's.
    if (!kernelPorts.empty() && std::none_of(table.words.begin(), table.words.end(), drives)) {
        table.words = {};
        for (std::size_t i = 0; i < kernelPorts.size() && i < 3; ++i)
            table.words[i] = kernelPorts[i].base;
        table.source = "the kernel's parallel ports (the BIOS table lists none the kernel drives)";
    }
    std::unique_ptr<PpdevPorts> ports(new PpdevPorts(sys, table));
    for (auto& word : ports->table_.words) {
        if (word == 0) continue;
        auto kernel = std::find_if(kernelPorts.begin(), kernelPorts.end(),
                                   [&](const KernelPort& k) { return k.base == word; });
        if (kernel == kernelPorts.end()) {
            word = 0;  // no device to reach it through: show it as absent
            continue;
        }
        if (ports->find(word)) continue;  // listed twice: one device, opened once
        // Opened now, while start-up may still hold the privilege that opening needs; claimed
        // only when the converter is bound to it, so that other ports stay free.
        const std::string device = devDir + "/parport" + std::to_string(kernel->number);
        const int fd = sys.open(device.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            const int e = errno;
            error = DescribeSetupFailure("ppdev", device, e,
                                         e == ENOENT ? SetupStep::noDevice : SetupStep::openDevice);
            return nullptr;
        }
        ports->ports_.push_back({word, fd, device, Port::State::open});
    }
    if (ports->ports_.empty()) {
        error = DescribeSetupFailure("ppdev", devDir + "/parport*", ENOENT, SetupStep::noDevice);
        return nullptr;
    }
    return ports;
}

PpdevPorts::~PpdevPorts() {
    for (auto& p : ports_) {
        if (p.state == Port::State::claimed) sys_.ioctl(p.fd, PPRELEASE, nullptr);
        sys_.close(p.fd);
    }
}

PpdevPorts::Port* PpdevPorts::find(std::uint16_t base) {
    for (auto& p : ports_)
        if (p.base == base) return &p;
    return nullptr;
}

bool PpdevPorts::usable(Port& p) {
    if (p.state == Port::State::claimed) return true;
    if (p.state == Port::State::refused || p.state == Port::State::lost) return false;
    if (sys_.ioctl(p.fd, PPEXCL, nullptr) != 0 || sys_.ioctl(p.fd, PPCLAIM, nullptr) != 0) {
        p.state = Port::State::refused;
        const std::string line =
            DescribeSetupFailure("ppdev", p.device, errno, SetupStep::claimPort);
        MessagePopup("Port unavailable",
                     (line + " Until then the port reads as if nothing were attached.").c_str());
        return false;
    }
    p.state = Port::State::claimed;
    ceiling_ = ScanCeiling(*this, static_cast<std::uint16_t>(p.base + 1));
    if (claimed_) claimed_();
    return true;
}

void PpdevPorts::lose(Port& p) {
    p.state = Port::State::lost;
    const std::string line = "ppdev: " + p.device + " stopped answering (" + std::strerror(errno) +
                             "): it now reads as if nothing were attached. Check the card and "
                             "the driver (dmesg), then start zelmor again.";
    if (lost_) lost_(line);
}

void PpdevPorts::write(std::uint16_t address, std::uint8_t value) {
    Port* p = find(address);
    if (!p) {
        ++refused_;
        return;
    }
    if (usable(*p) && sys_.ioctl(p->fd, PPWDATA, &value) != 0) lose(*p);
}

std::uint8_t PpdevPorts::read(std::uint16_t address) {
    Port* p = address > 0 ? find(static_cast<std::uint16_t>(address - 1)) : nullptr;
    if (!p) {
        ++refused_;
        return 0xFF;
    }
    // The raw status register, the inverted busy line included, as an in() gives it; a port
    // that could not be claimed reads as a floating bus.
    unsigned char status = 0xFF;
    if (usable(*p) && sys_.ioctl(p->fd, PPRSTATUS, &status) != 0) {
        lose(*p);
        status = 0xFF;
    }
    return status;
}

std::string PpdevPorts::describe() const {
    std::string s;
    for (auto& p : ports_) s += (s.empty() ? "" : ", ") + hex(p.base) + " (" + p.device + ")";
    return s;
}

std::unique_ptr<DirectPorts> DirectPorts::Open(SystemCalls& sys, PortTable table,
                                               const std::vector<std::uint16_t>& parallelBases,
                                               std::string& error) {
    std::unique_ptr<DirectPorts> ports(new DirectPorts(sys, table));
    for (auto& word : ports->table_.words) {
        if (word == 0) continue;
        // A table word is only an address in memory: never take permission for a port the
        // kernel does not know as a parallel port (an interrupt controller, PCI configuration).
        if (std::find(parallelBases.begin(), parallelBases.end(), word) == parallelBases.end()) {
            ports->notes_ += (ports->notes_.empty() ? "" : "; ") + hex(word) +
                             " is not a parallel port the kernel knows, not used";
            word = 0;
            continue;
        }
        if (std::find(ports->bases_.begin(), ports->bases_.end(), word) != ports->bases_.end())
            continue;
        // Data and status registers only: the control register is never written.
        if (sys.ioperm(word, 2, 1) != 0) {
            error = DescribeSetupFailure("direct", "I/O ports " + hex(word) + "-" + hex(word + 1u),
                                         errno, SetupStep::ioperm);
            return nullptr;
        }
        ports->bases_.push_back(word);
    }
    if (ports->bases_.empty()) {
        error =
            "direct: no parallel port: neither the BIOS table nor the kernel lists one. Check "
            "that the port is enabled in the firmware set-up, or use --io=simulated.";
        return nullptr;
    }
    return ports;
}

void DirectPorts::write(std::uint16_t address, std::uint8_t value) {
    if (std::find(bases_.begin(), bases_.end(), address) != bases_.end())
        sys_.outb(value, address);
    else
        ++refused_;  // an out instruction there would fault: ioperm covers only these ports
}

std::uint8_t DirectPorts::read(std::uint16_t address) {
    if (address > 0 && std::find(bases_.begin(), bases_.end(), address - 1) != bases_.end())
        return sys_.inb(address);
    ++refused_;
    return 0xFF;
}

std::string DirectPorts::describe() const {
    std::string s;
    for (auto b : bases_) s += (s.empty() ? "" : ", ") + hex(b);
    return s;
}

std::string DescribeSetupFailure(const std::string& backend, const std::string& device, int error,
                                 SetupStep step, const std::string& lockdownPath) {
    std::string line = backend + ": " + device + ": " + std::strerror(error) + ". ";
    if (step == SetupStep::noDevice)
        return line +
               "No parallel port device: load the parport_pc and ppdev modules "
               "(sudo modprobe parport_pc ppdev).";
    if (error == ENOSYS)
        return line +
               "Port I/O is not available in this container or virtual machine: run "
               "zelmor on the PC with the port, or use --io=simulated.";
    if (step == SetupStep::claimPort && (error == ENXIO || error == EBUSY))
        return line +
               "Another driver holds the port (lp, the printing system): unload it "
               "(sudo modprobe -r lp) or stop the printing service, then start again.";
    if (step == SetupStep::claimPort && error == EINTR)
        return line + "The claim was interrupted: choose the port again.";
    if ((error == ENXIO || error == ENODEV) && step == SetupStep::openDevice)
        return line +
               "No port answers behind this device: check that parport_pc found the port "
               "(dmesg) and that the port is enabled in the firmware set-up.";
    if (error == EACCES && step == SetupStep::openDevice)
        return line + "Add your user to group lp (sudo usermod -aG lp $USER) and log in again.";
    if (error == EPERM || error == EACCES) {
        line +=
            "Direct port access needs CAP_SYS_RAWIO: run it through sudo, or give the "
            "binary the capability (sudo setcap cap_sys_rawio+ep zelmor).";
        std::ifstream lockdown(lockdownPath);
        std::string state;
        std::getline(lockdown, state);
        if (state.find("[integrity]") != std::string::npos ||
            state.find("[confidentiality]") != std::string::npos)
            line += " This kernel is locked down (Secure Boot), which forbids it: use --io=ppdev.";
        return line;
    }
    return line + "Check the port with ls -l /dev/parport* and dmesg.";
}

double ScanCeiling(PortBackend& ports, std::uint16_t statusAddress) {
    constexpr int kReads = 2000;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kReads; ++i) ports.read(statusAddress);
    const double perAccess =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / kReads;
    return perAccess > 0 ? 1.0 / (kAccessesPerScan * perAccess) : 0;
}

}  // namespace engine
