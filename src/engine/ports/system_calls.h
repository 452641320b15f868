// The system calls the hardware back ends make, as a seam: the real ones, or a test's. And
// what the two hardware back ends share: the port table served as physical memory, real
// pauses, refused accesses counted.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/ports/port_io.h"

namespace engine {

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

// The three words of the BIOS port table (LPT1-LPT3) and where they came from: source in the
// words the port panel's heading and the status line both use (kListedByBios...), and why
// the table is not the BIOS's when it is not.
struct PortTable {
    std::array<std::uint16_t, 3> words{};
    std::string source;
    std::string why;
};
class HardwarePorts : public PortBackend {
  public:
    bool readPhysical(std::uint32_t address, void* buffer, std::size_t count) override;
    void pause(double seconds) override;
    std::uint64_t refused() const { return refused_; }
    const PortTable& table() const { return table_; }
    std::string portSource() const override { return table_.source; }
    // The opened ports, as "0x378 (/dev/parport0)" or "0x378": the start of the status line.
    virtual std::string describe() const = 0;

  protected:
    explicit HardwarePorts(PortTable table) : table_(std::move(table)) {}
    // Where the addresses came from, for the status line: "listed by the kernel (why)".
    std::string sourceWords() const {
        return table_.source + (table_.why.empty() ? "" : " (" + table_.why + ")");
    }
    PortTable table_;
    std::uint64_t refused_ = 0;
};

}  // namespace engine
