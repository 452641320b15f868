// A test-only stand-in for the kernel's side of the parallel port, preloaded (LD_PRELOAD) into
// an unmodified zelmor or test binary, and into QEMU for the real-kernel stage. It answers as
// the kernel documents, not as our back end expects: /dev/parportN with PPEXCL before PPCLAIM,
// a claim before any register access (EINVAL otherwise) and the status register raw;
// /proc/sys/dev/parport/parportN/base-addr ("888\t1912"); /dev/mem with a BIOS data area. Port
// 0's registers reach the engine's wire-level simulated converter. From the environment:
//   ZELMOR_FAKE_PORTS=0:0x378,1:0x278    the kernel's ports (number:base)
//   ZELMOR_FAKE_BIOS=0x378,0x278,0       /dev/mem with these LPT1-3 words; unset: EACCES
//   ZELMOR_FAKE_OPEN_ERROR=EACCES        every /dev/parportN open fails so
//   ZELMOR_FAKE_CLAIM_ERROR=1:EBUSY      port 1's claim is refused so
//   ZELMOR_GUEST_PORT=/path              port 0 too: the path QEMU's parallel chardev opens
//   ZELMOR_GUEST_CODES=491,1365,...      the eight inputs as constant codes, 1..4094
//   ZELMOR_GUEST_LOG=/path               the log, one line an event, also kept in this file
// A test reads the log from zelmor_fake_kernel_log() and loses the port (every ioctl then
// fails with ENODEV) with zelmor_fake_kernel_fail_after(n).
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/ppdev.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ports/simulated_converter.h"

namespace {

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

constexpr std::uint8_t kSupply = 0x1F;  // D0-D4: the board's supply lines

struct Device {
    int number = 0;  // the converter hangs on port 0
    bool claimed = false;
    bool reverse = false;  // data lines turned to input: nothing drives them
    std::uint8_t data = 0, control = 0;
};

struct Kernel {
    std::recursive_mutex lock;
    std::map<int, Device> devices;  // by descriptor
    std::string log;
    long accesses = 0;
    long failAfter = -1;   // register accesses before the port is lost; -1: never
    std::string procTree;  // a real folder that stands for /proc/sys/dev/parport
    bool powered = false;
    std::uint64_t conversionsAtPowerOn = 0;
    engine::ManualClock clock;  // the inputs are constant: time plays no part
    engine::SimulatedConverter converter{clock};
};

Kernel& kernel() {
    static Kernel* k = new Kernel;  // never destroyed: calls may come during exit
    return *k;
}

struct Held {
    Kernel& k = kernel();
    std::lock_guard<std::recursive_mutex> hold{k.lock};
};

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

void note(Kernel& k, const std::string& line) {
    k.log += line + "\n";
    const std::string path = env("ZELMOR_GUEST_LOG");
    if (FILE* f = path.empty() ? nullptr : std::fopen(path.c_str(), "ae")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

// The comma-separated items of a setting; "" gives none.
std::vector<std::string> items(const char* name) {
    std::vector<std::string> result;
    std::string item;
    for (std::istringstream in(env(name)); std::getline(in, item, ',');) result.push_back(item);
    return result;
}

unsigned number(const std::string& text) {
    return static_cast<unsigned>(std::strtoul(text.c_str(), nullptr, 0));
}

// "0:0x378,1:EBUSY" -> {0: "0x378", 1: "EBUSY"}
std::map<int, std::string> perPort(const char* name) {
    std::map<int, std::string> result;
    for (const std::string& item : items(name))
        if (item.find(':') != std::string::npos)
            result[std::atoi(item.c_str())] = item.substr(item.find(':') + 1);
    return result;
}

// "EBUSY" -> EBUSY; "" -> 0.
int errnoNamed(const std::string& name) {
    for (int e : {EACCES, ENOENT, EBUSY, ENXIO, ENODEV})
        if (name == strerrorname_np(e)) return e;
    return name.empty() ? 0 : EIO;
}

// Writes the kernel's port list as a real folder, so that the C library's own directory and
// file calls read it.
std::string procTree() {
    Kernel& k = kernel();
    if (k.procTree.empty()) {
        char folder[] = "/tmp/zelmor-fake-kernel-XXXXXX";
        if (mkdtemp(folder)) k.procTree = folder;
    }
    for (const auto& old : std::filesystem::directory_iterator(k.procTree))
        std::filesystem::remove_all(old.path());
    for (const auto& [n, base] : perPort("ZELMOR_FAKE_PORTS")) {
        const std::string dir = k.procTree + "/parport" + std::to_string(n);
        std::filesystem::create_directory(dir);
        std::ofstream(dir + "/base-addr") << number(base) << "\t" << number(base) + 0x400 << "\n";
    }
    return k.procTree;
}

const char kProcParport[] = "/proc/sys/dev/parport";

// The stand-in path for a path under /proc/sys/dev/parport, or the path itself. The list is
// written anew whenever the folder itself is opened, and read as it stands otherwise.
std::string mapped(const char* path) {
    if (path && std::strncmp(path, kProcParport, sizeof kProcParport - 1) == 0) {
        Held held;
        const char* rest = path + sizeof kProcParport - 1;
        const bool folder = !*rest || std::strcmp(rest, "/") == 0;
        return (folder || held.k.procTree.empty() ? procTree() : held.k.procTree) + rest;
    }
    return path ? path : "";
}

int memoryFile() {
    const std::vector<std::string> words = items("ZELMOR_FAKE_BIOS");
    if (words.empty()) return errno = EACCES, -1;
    std::uint16_t memory[0x280] = {};  // little-endian words, as the BIOS data area holds them
    for (std::size_t i = 0; i < 3 && i < words.size(); ++i)
        memory[0x204 + i] = static_cast<std::uint16_t>(number(words[i]));
    const int fd = memfd_create("fake-mem", MFD_CLOEXEC);
    (void)!pwrite(fd, memory, sizeof memory, 0);
    return fd;
}

// Fixed codes on the eight inputs, each in the middle of its step so that the converter's
// floor gives the code itself; unset: the converter's own signals.
bool setInputs(Kernel& k) {
    const std::vector<std::string> codes = items("ZELMOR_GUEST_CODES");
    if (codes.empty()) return true;
    for (int channel = 0; channel < 8; ++channel) {
        char* end = nullptr;
        const long code = codes.size() == 8 ? std::strtol(codes[channel].c_str(), &end, 10) : 0;
        if (code < 1 || code > 4094 || *end) return false;
        const double volts = (static_cast<double>(code) + 0.5) * 2.5 / 4096;
        k.converter.setInput(channel, [volts](double) { return volts; });
    }
    return true;
}

int openDevice(const char* path, int number) {
    if (int e = errnoNamed(env("ZELMOR_FAKE_OPEN_ERROR"))) return errno = e, -1;
    if (number < 0) return errno = ENOENT, -1;
    Held held;
    if (!setInputs(held.k)) return errno = EINVAL, -1;
    // A real descriptor keeps the number ours until it is closed.
    const int fd = memfd_create(path, MFD_CLOEXEC);
    held.k.devices[fd] = Device{number};
    note(held.k, "open " + std::string(path));
    return fd;
}

// Port 0's lines reach the board: the latched byte while the port drives them, all low while
// they are turned to input. The board's power follows D0-D4; the log keeps each change.
void drive(Kernel& k, const Device& d) {
    if (d.number != 0) return;
    const std::uint8_t pins = d.reverse ? 0 : d.data;
    k.converter.write(engine::SimulatedConverter::kConverterPort, pins);
    if (((pins & kSupply) == kSupply) == k.powered) return;
    k.powered = !k.powered;
    const std::uint64_t made = k.converter.conversions() - k.conversionsAtPowerOn;
    if (k.powered) k.conversionsAtPowerOn = k.converter.conversions();
    note(k, k.powered ? "power on" : "power off after " + std::to_string(made) + " conversions");
}

// The claim's and release's line: the conversions so far, and since the last power-on.
std::string counts(Kernel& k) {
    const std::uint64_t made = k.converter.conversions();
    return " after " + std::to_string(made) + " conversions, " +
           std::to_string(made - k.conversionsAtPowerOn) + " since the board's last power-on";
}

int portIoctl(Kernel& k, Device& d, unsigned long request, void* arg) {
    if (k.failAfter >= 0 && k.accesses >= k.failAfter) return errno = ENODEV, -1;
    auto* byte = static_cast<unsigned char*>(arg);
    const std::string port = " " + std::to_string(d.number);
    switch (request) {
        case PPEXCL:  // asked before the claim, too late once claimed
            if (d.claimed) return errno = EINVAL, -1;
            note(k, "PPEXCL" + port);
            return 0;
        case PPCLAIM:
        case PPRELEASE:
            if (d.claimed == (request == PPCLAIM)) return errno = EINVAL, -1;
            if (request == PPCLAIM)
                if (int e = errnoNamed(perPort("ZELMOR_FAKE_CLAIM_ERROR")[d.number]))
                    return errno = e, -1;
            d.claimed = request == PPCLAIM;
            note(k, (d.claimed ? "PPCLAIM" : "PPRELEASE") + port + counts(k));
            return 0;
        default:
            break;
    }
    if (!d.claimed) return errno = EINVAL, -1;
    ++k.accesses;
    switch (request) {
        case PPSETMODE:
            return 0;  // the lines are the same in every mode the port offers
        case PPWDATA:
            d.data = *byte;
            drive(k, d);
            return 0;
        case PPRDATA:  // turned to input, the lines read as the unpowered board holds them
            *byte = d.reverse ? 0 : d.data;
            return 0;
        case PPRSTATUS:
            *byte = k.converter.read(d.number == 0 ? 0x379 : 0x279);
            return 0;
        case PPWCONTROL:
            d.control = *byte;
            return 0;
        case PPRCONTROL:
            *byte = d.control;
            return 0;
        case PPDATADIR:
            d.reverse = *static_cast<int*>(arg) != 0;
            drive(k, d);
            return 0;
        default:
            return errno = ENOTTY, -1;
    }
}

// open and open64: a port or memory of ours, or the C library's call on the mapped path.
int openThrough(const char* name, const char* path, int flags, va_list ap) {
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    if (path && std::strncmp(path, "/dev/parport", 12) == 0) {
        const int n = std::atoi(path + 12);
        return openDevice(path, perPort("ZELMOR_FAKE_PORTS").count(n) ? n : -1);
    }
    if (path && !env("ZELMOR_GUEST_PORT").empty() && path == env("ZELMOR_GUEST_PORT"))
        return openDevice(path, 0);
    if (path && std::strcmp(path, "/dev/mem") == 0) return memoryFile();
    return real<int (*)(const char*, int, ...)>(name)(mapped(path).c_str(), flags, mode);
}

}  // namespace

extern "C" {

const char* zelmor_fake_kernel_log() {
    Held held;
    static std::string copy;
    copy = held.k.log + "accesses " + std::to_string(held.k.accesses) + "\n";
    return copy.c_str();
}

void zelmor_fake_kernel_reset() {
    Held held;
    held.k.log.clear();
    held.k.accesses = 0;
    held.k.failAfter = -1;
}

// From the nth register access on (counted from the start), the ports stop answering.
void zelmor_fake_kernel_fail_after(long n) {
    Held().k.failAfter = n;
}

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const int fd = openThrough("open", path, flags, ap);
    va_end(ap);
    return fd;
}

// On this 64-bit system the large-file calls are the same calls under a second name.
int open64(const char* path, int flags, ...) __attribute__((alias("open")));

FILE* fopen(const char* path, const char* mode) {
    return real<FILE* (*)(const char*, const char*)>("fopen")(mapped(path).c_str(), mode);
}

FILE* fopen64(const char* path, const char* mode) __attribute__((alias("fopen")));

DIR* opendir(const char* path) {
    return real<DIR* (*)(const char*)>("opendir")(mapped(path).c_str());
}

int close(int fd) {
    {
        Held held;
        auto it = held.k.devices.find(fd);
        if (it != held.k.devices.end()) {
            // The kernel releases a claim the program still holds when it closes the device.
            note(held.k, "close " + std::to_string(it->second.number) +
                             (it->second.claimed ? " (released)" : ""));
            held.k.devices.erase(it);
        }
    }
    return real<int (*)(int)>("close")(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    {
        Held held;
        auto it = held.k.devices.find(fd);
        if (it != held.k.devices.end()) return portIoctl(held.k, it->second, request, arg);
    }
    return real<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, arg);
}

}  // extern "C"
