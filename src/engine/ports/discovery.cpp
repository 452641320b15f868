#include "engine/ports/discovery.h"

#include <dirent.h>
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

namespace engine {

std::string HexAddress(unsigned value) {
    std::ostringstream s;
    s << "0x" << std::hex << value;
    return s.str();
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
                table.source = kListedByBios;
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
    table.source = kListedByKernel;
    table.why = why;
    return table;
}

std::string DescribeSetupFailure(const std::string& backend, const std::string& device, int error,
                                 SetupStep step, const std::string& lockdownPath) {
    return backend + ": " + device + ": " + std::strerror(error) + ". " +
           SetupAdvice(error, step, lockdownPath);
}

std::string SetupAdvice(int error, SetupStep step, const std::string& lockdownPath) {
    if (step == SetupStep::noDevice)
        return "No parallel port device: load the parport_pc and ppdev modules "
               "(sudo modprobe parport_pc ppdev).";
    if (error == ENOSYS)
        return "Port I/O is not available in this container or virtual machine: run "
               "zelmor on the PC with the port, or use --io=simulated.";
    if (step == SetupStep::claimPort && (error == ENXIO || error == EBUSY))
        return "Another driver holds the port (lp, the printing system): unload it "
               "(sudo modprobe -r lp) or stop the printing service, then start again.";
    if (step == SetupStep::claimPort && error == EINTR)
        return "The claim was interrupted: choose the port again.";
    if ((error == ENXIO || error == ENODEV) && step == SetupStep::openDevice)
        return "No port answers behind this device: check that parport_pc found the port "
               "(dmesg) and that the port is enabled in the firmware set-up.";
    if (error == EACCES && step == SetupStep::openDevice)
        return "Add your user to group lp (sudo usermod -aG lp $USER) and log in again.";
    if (error == EPERM || error == EACCES) {
        std::string advice =
            "Direct port access needs CAP_SYS_RAWIO: run it through sudo, or give the "
            "binary the capability (sudo setcap cap_sys_rawio+ep zelmor).";
        std::ifstream lockdown(lockdownPath);
        std::string state;
        std::getline(lockdown, state);
        if (state.find("[integrity]") != std::string::npos ||
            state.find("[confidentiality]") != std::string::npos)
            advice +=
                " This kernel is locked down (Secure Boot), which forbids it: use --io=ppdev.";
        return advice;
    }
    return "Check the port with ls -l /dev/parport* and dmesg.";
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
