// Finding the parallel ports at start-up, and saying what went wrong: the kernel's list of
// ports, the BIOS port table, the set-up failure with its fix, the scan ceiling.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ports/system_calls.h"

namespace engine {

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

// Where a port table came from, as "Parallel ports ... :" on the port panel and after the
// ports on the status line.
inline constexpr const char* kListedByBios = "listed by the BIOS";
inline constexpr const char* kListedByKernel = "listed by the kernel";

// From physical memory when it can be read and lists a port; otherwise (no access, UEFI
// firmware without the legacy table, PCI cards) the kernel's ports in order.
PortTable ReadPortTable(SystemCalls& sys, const std::string& memoryPath,
                        const std::vector<KernelPort>& kernelPorts);

// An I/O address as the operator reads it: "0x378".
std::string HexAddress(unsigned value);

enum class SetupStep { openDevice, claimPort, noDevice, ioperm };
// What to do when that step failed with that error: one or two sentences.
std::string SetupAdvice(int error, SetupStep step,
                        const std::string& lockdownPath = "/sys/kernel/security/lockdown");
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
