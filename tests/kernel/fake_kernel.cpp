// A test-only stand-in for the kernel's side of the parallel port, loaded with LD_PRELOAD
// into an unmodified zelmor or test binary. It answers as the kernel documents, not as our
// back end expects:
//   /proc/sys/dev/parport/parportN/base-addr  the kernel's ports ("888\t1912")
//   /dev/parportN    ppdev: PPEXCL before PPCLAIM, a claim before any register access
//                    (EINVAL otherwise), the status register raw, as the port presents it
//   /dev/mem         physical memory with a BIOS data area
// Every other file goes through to the C library. Port 0's data and status registers are
// wired to the engine's wire-level simulated converter.
//
// Set from the environment, read again at each open:
//   ZELMOR_FAKE_PORTS=0:0x378,1:0x278    the kernel's ports (number:base)
//   ZELMOR_FAKE_BIOS=0x378,0x278,0       /dev/mem with these LPT1-3 words; unset: EACCES
//   ZELMOR_FAKE_OPEN_ERROR=EACCES        every /dev/parportN open fails so
//   ZELMOR_FAKE_CLAIM_ERROR=1:EBUSY      port 1's claim is refused so
// An in-process test reads one line per call from zelmor_fake_kernel_log(), and loses the
// port (every ioctl then fails with ENODEV) with zelmor_fake_kernel_fail_after(n).
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/ppdev.h>
#include <sys/mman.h>
#include <sys/stat.h>
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

struct Device {
    int number = 0;
    bool converter = false;  // the converter hangs on this port
    bool claimed = false;
};

struct Kernel {
    std::recursive_mutex lock;
    std::map<int, Device> devices;  // by descriptor
    std::string log;
    long accesses = 0;
    long failAfter = -1;   // register accesses before the port is lost; -1: never
    std::string procTree;  // a real folder that stands for /proc/sys/dev/parport
    engine::SteadyClock clock;
    engine::SimulatedConverter converter{clock};
};

Kernel& kernel() {
    static Kernel* k = new Kernel;  // never destroyed: calls may come during exit
    return *k;
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
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

// "0:0x378,1:0x278" -> {0: 0x378, 1: 0x278}
std::map<int, unsigned> ports() {
    std::map<int, unsigned> result;
    for (const std::string& item : items("ZELMOR_FAKE_PORTS")) {
        const std::size_t colon = item.find(':');
        if (colon != std::string::npos)
            result[std::atoi(item.c_str())] = number(item.substr(colon + 1));
    }
    return result;
}

int errnoNamed(const std::string& name) {
    for (int e : {EACCES, ENOENT, EBUSY, ENXIO, ENODEV})
        if (name == strerrorname_np(e)) return e;
    return EIO;
}

// "1:EBUSY" for port 1 -> EBUSY; 0 when none.
int claimErrorFor(int number) {
    const std::string setting = env("ZELMOR_FAKE_CLAIM_ERROR");
    const std::size_t colon = setting.find(':');
    if (colon == std::string::npos || std::atoi(setting.c_str()) != number) return 0;
    return errnoNamed(setting.substr(colon + 1));
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
    for (const auto& [number, base] : ports()) {
        const std::string dir = k.procTree + "/parport" + std::to_string(number);
        std::filesystem::create_directory(dir);
        std::ofstream(dir + "/base-addr") << base << "\t" << base + 0x400 << "\n";
    }
    return k.procTree;
}

const char kProcParport[] = "/proc/sys/dev/parport";

// The stand-in path for a path under /proc/sys/dev/parport, or the path itself. The list is
// written anew whenever the folder itself is opened, and read as it stands otherwise.
std::string mapped(const char* path) {
    if (path && std::strncmp(path, kProcParport, sizeof kProcParport - 1) == 0) {
        std::lock_guard<std::recursive_mutex> hold(kernel().lock);
        const bool folder = path[sizeof kProcParport - 1] == '\0' ||
                            std::strcmp(path + sizeof kProcParport - 1, "/") == 0;
        const std::string tree =
            folder || kernel().procTree.empty() ? procTree() : kernel().procTree;
        return tree + (path + sizeof kProcParport - 1);
    }
    return path ? path : "";
}

int memoryFile() {
    const std::vector<std::string> words = items("ZELMOR_FAKE_BIOS");
    if (words.empty()) return errno = EACCES, -1;
    unsigned char memory[0x500] = {};
    for (std::size_t i = 0; i < 3 && i < words.size(); ++i) {
        memory[0x408 + 2 * i] = static_cast<unsigned char>(number(words[i]) & 0xFF);
        memory[0x409 + 2 * i] = static_cast<unsigned char>(number(words[i]) >> 8);
    }
    const int fd = memfd_create("fake-mem", MFD_CLOEXEC);
    (void)!pwrite(fd, memory, sizeof memory, 0);
    return fd;
}

int openDevice(const char* path) {
    const int number = std::atoi(path + std::strlen("/dev/parport"));
    const std::string error = env("ZELMOR_FAKE_OPEN_ERROR");
    if (!error.empty()) return errno = errnoNamed(error), -1;
    if (!ports().count(number)) return errno = ENOENT, -1;
    // A real descriptor keeps the number ours until it is closed.
    const int fd = memfd_create(path, MFD_CLOEXEC);
    Kernel& k = kernel();
    std::lock_guard<std::recursive_mutex> hold(k.lock);
    k.devices[fd] = Device{number, number == 0};
    k.log += "open " + std::string(path) + "\n";
    return fd;
}

int maybeFake(const char* path, int& fd) {
    if (!path) return 0;
    if (std::strncmp(path, "/dev/parport", 12) == 0) return fd = openDevice(path), 1;
    if (std::strcmp(path, "/dev/mem") == 0) return fd = memoryFile(), 1;
    return 0;
}

int portIoctl(Kernel& k, Device& d, unsigned long request, void* arg) {
    if (k.failAfter >= 0 && k.accesses >= k.failAfter) return errno = ENODEV, -1;
    switch (request) {
        case PPEXCL:
            if (d.claimed) return errno = EINVAL, -1;  // too late once claimed
            k.log += "PPEXCL " + std::to_string(d.number) + "\n";
            return 0;
        case PPCLAIM:
            if (int e = claimErrorFor(d.number)) return errno = e, -1;
            d.claimed = true;
            k.log += "PPCLAIM " + std::to_string(d.number) + "\n";
            return 0;
        case PPRELEASE:
            if (!d.claimed) return errno = EINVAL, -1;
            d.claimed = false;
            k.log += "PPRELEASE " + std::to_string(d.number) + "\n";
            return 0;
        case PPWDATA:
        case PPRSTATUS:
            if (!d.claimed) return errno = EINVAL, -1;
            ++k.accesses;
            if (request == PPWDATA) {
                if (d.converter) k.converter.write(0x378, *static_cast<unsigned char*>(arg));
            } else {
                *static_cast<unsigned char*>(arg) =
                    d.converter ? k.converter.read(0x379) : k.converter.read(0x279);
            }
            return 0;
        default:
            return errno = ENOTTY, -1;
    }
}

// open and open64: a device or memory of ours, or the C library's call on the mapped path.
int openThrough(const char* name, const char* path, int flags, va_list ap) {
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    int fd = -1;
    if (maybeFake(path, fd)) return fd;
    return real<int (*)(const char*, int, ...)>(name)(mapped(path).c_str(), flags, mode);
}

}  // namespace

extern "C" {

const char* zelmor_fake_kernel_log() {
    Kernel& k = kernel();
    std::lock_guard<std::recursive_mutex> hold(k.lock);
    static std::string copy;
    copy = k.log + "accesses " + std::to_string(k.accesses) + "\n";
    return copy.c_str();
}

void zelmor_fake_kernel_reset() {
    Kernel& k = kernel();
    std::lock_guard<std::recursive_mutex> hold(k.lock);
    k.log.clear();
    k.accesses = 0;
    k.failAfter = -1;
}

// From the nth register access on (counted from the start), the ports stop answering.
void zelmor_fake_kernel_fail_after(long n) {
    Kernel& k = kernel();
    std::lock_guard<std::recursive_mutex> hold(k.lock);
    k.failAfter = n;
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
        Kernel& k = kernel();
        std::lock_guard<std::recursive_mutex> hold(k.lock);
        auto it = k.devices.find(fd);
        if (it != k.devices.end()) {
            // The kernel releases a claim the program still holds when it closes the device.
            k.log += "close " + std::to_string(it->second.number) +
                     (it->second.claimed ? " (released)" : "") + "\n";
            k.devices.erase(it);
        }
    }
    return real<int (*)(int)>("close")(fd);
}

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    Kernel& k = kernel();
    {
        std::lock_guard<std::recursive_mutex> hold(k.lock);
        auto it = k.devices.find(fd);
        if (it != k.devices.end()) return portIoctl(k, it->second, request, arg);
    }
    return real<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, arg);
}

}  // extern "C"
