// The converter board behind the emulated PC's parallel port, for the real-kernel stage
// (run-guest.sh). Preloaded into qemu-system-x86_64, it takes the open of the path given to
// QEMU's parallel chardev and answers the ppdev calls QEMU then makes for the guest's register
// accesses, with the engine's wire-level simulated converter behind the data and status
// registers. Its eight inputs are constant, so every scan the guest records can be checked
// exactly against the codes it was given.
// Set from the environment:
//   ZELMOR_GUEST_PORT=/path            the chardev's path (it need not exist)
//   ZELMOR_GUEST_CODES=491,1365,...    the eight channels' codes, 1..4094
//   ZELMOR_GUEST_LOG=/path             what happened on the port, one line an event
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
#include <mutex>
#include <sstream>
#include <string>

#include "engine/ports/simulated_converter.h"

namespace {

template <typename F>
F real(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

constexpr std::uint16_t kData = engine::SimulatedConverter::kConverterPort;
constexpr std::uint8_t kSupply = 0x1F;  // D0-D4: the board's supply lines

struct Board {
    std::mutex lock;
    int fd = -1;
    bool claimed = false;
    bool reverse = false;  // data lines turned to input: nothing drives the board's supply
    std::uint8_t data = 0, control = 0;
    bool powered = false;
    long writes = 0, reads = 0, controlWrites = 0;
    std::uint64_t conversionsAtPowerOn = 0;
    engine::ManualClock clock;  // the inputs are constant: time plays no part
    engine::SimulatedConverter converter{clock};
    FILE* log = nullptr;
};

Board& board() {
    static Board* b = new Board;  // never destroyed: QEMU's threads may call during exit
    return *b;
}

void note(Board& b, const char* format, ...) {
    if (!b.log) return;
    va_list ap;
    va_start(ap, format);
    std::vfprintf(b.log, format, ap);
    va_end(ap);
    std::fputc('\n', b.log);
    std::fflush(b.log);
}

// The board sees the latched byte while the port drives its data lines, and all lines low
// while they are turned to input. Its power follows D0-D4; the log keeps each change.
void drive(Board& b) {
    const std::uint8_t pins = b.reverse ? 0 : b.data;
    b.converter.write(kData, pins);
    const bool powered = (pins & kSupply) == kSupply;
    if (powered == b.powered) return;
    b.powered = powered;
    const std::uint64_t made = b.converter.conversions() - b.conversionsAtPowerOn;
    if (powered) b.conversionsAtPowerOn = b.converter.conversions();
    note(b, powered ? "power on at write %ld" : "power off at write %ld after %llu conversions",
         b.writes, static_cast<unsigned long long>(made));
}

bool setInputs(Board& b) {
    std::istringstream in(std::getenv("ZELMOR_GUEST_CODES") ? std::getenv("ZELMOR_GUEST_CODES")
                                                            : "");
    std::string item;
    int channel = 0;
    while (std::getline(in, item, ',')) {
        char* end = nullptr;
        const long code = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end || code < 1 || code > 4094 || channel >= 8) return false;
        // The middle of the code's step, so that the converter's floor gives the code itself.
        const double volts = (static_cast<double>(code) + 0.5) * 2.5 / 4096;
        b.converter.setInput(channel++, [volts](double) { return volts; });
    }
    return channel == 8;
}

int portIoctl(Board& b, unsigned long request, void* arg) {
    auto* byte = static_cast<unsigned char*>(arg);
    if (request == PPCLAIM || request == PPRELEASE) {
        if (b.claimed == (request == PPCLAIM)) return errno = EINVAL, -1;
        b.claimed = request == PPCLAIM;
        note(b,
             "%s after %ld writes, %ld status reads, %ld control writes, %llu conversions, %llu "
             "since the board's last power-on",
             request == PPCLAIM ? "PPCLAIM" : "PPRELEASE", b.writes, b.reads, b.controlWrites,
             static_cast<unsigned long long>(b.converter.conversions()),
             static_cast<unsigned long long>(b.converter.conversions() - b.conversionsAtPowerOn));
        return 0;
    }
    if (!b.claimed) return errno = EINVAL, -1;
    switch (request) {
        case PPSETMODE:
            return 0;  // the lines are the same in every mode the port offers
        case PPWDATA:
            ++b.writes;
            b.data = *byte;
            drive(b);
            return 0;
        case PPRDATA:  // turned to input, the lines read as the unpowered board holds them
            *byte = b.reverse ? 0 : b.data;
            return 0;
        case PPRSTATUS:
            ++b.reads;
            *byte = b.converter.read(kData + 1);
            return 0;
        case PPWCONTROL:
            ++b.controlWrites;
            b.control = *byte;
            return 0;
        case PPRCONTROL:
            *byte = b.control;
            return 0;
        case PPDATADIR:
            b.reverse = *static_cast<int*>(arg) != 0;
            drive(b);
            return 0;
        default:
            note(b, "refused ioctl 0x%lx", request);
            return errno = ENOTTY, -1;
    }
}

int openThrough(const char* name, const char* path, int flags, va_list ap) {
    const mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? static_cast<mode_t>(va_arg(ap, int)) : 0;
    const char* port = std::getenv("ZELMOR_GUEST_PORT");
    if (!path || !port || std::strcmp(path, port) != 0)
        return real<int (*)(const char*, int, ...)>(name)(path, flags, mode);
    Board& b = board();
    std::lock_guard<std::mutex> hold(b.lock);
    if (b.fd >= 0) return errno = EBUSY, -1;
    if (!setInputs(b)) return errno = EINVAL, -1;
    if (const char* log = std::getenv("ZELMOR_GUEST_LOG")) b.log = std::fopen(log, "we");
    // A real descriptor keeps the number ours until it is closed.
    b.fd = memfd_create("zelmor-guest-port", MFD_CLOEXEC);
    note(b, "open %s", path);
    return b.fd;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
    va_list ap;
    va_start(ap, flags);
    const int fd = openThrough("open", path, flags, ap);
    va_end(ap);
    return fd;
}

int open64(const char* path, int flags, ...) __attribute__((alias("open")));

int ioctl(int fd, unsigned long request, ...) {
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);
    Board& b = board();
    {
        std::lock_guard<std::mutex> hold(b.lock);
        if (fd >= 0 && fd == b.fd) return portIoctl(b, request, arg);
    }
    return real<int (*)(int, unsigned long, void*)>("ioctl")(fd, request, arg);
}

int close(int fd) {
    Board& b = board();
    {
        std::lock_guard<std::mutex> hold(b.lock);
        if (fd >= 0 && fd == b.fd) {
            note(b, "close");
            b.fd = -1;
        }
    }
    return real<int (*)(int)>("close")(fd);
}

}  // extern "C"
