#include "engine/ports/system_calls.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace

SystemCalls& RealSystemCalls() {
    static LinuxCalls calls;
    return calls;
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
    SleepFor(seconds);
}

}  // namespace engine
