// Byte access to I/O ports and physical memory, as the program and the converter link call it.
// Every access goes to one port back end, chosen once when the engine starts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace engine {

// How a back end's status line reads, as the status line's own three tones: plain for a port
// in use, notice for voltages that are not measured, alarm for a port that failed.
enum class BackendTone { plain, notice, alarm };

struct BackendStatus {
    std::string text;
    BackendTone tone = BackendTone::plain;
    bool operator==(const BackendStatus& o) const { return text == o.text && tone == o.tone; }
};

// What a port back end must do: the whole of the engine's contact with the port hardware, and
// what it says of itself on the status line.
class PortBackend {
  public:
    virtual ~PortBackend() = default;
    virtual void write(std::uint16_t address, std::uint8_t value) = 0;
    virtual std::uint8_t read(std::uint16_t address) = 0;
    // Copies count bytes from physical memory; false when they cannot be read.
    virtual bool readPhysical(std::uint32_t address, void* buffer, std::size_t count) = 0;
    // A pause between port accesses, in seconds.
    virtual void pause(double seconds) = 0;

    // One line for every panel's status line: the port, the way it is reached, and where its
    // address came from; or why the port stopped. A back end that says nothing leaves it empty.
    virtual BackendStatus status() const { return {}; }
    // What the operator can do about the port's state, one or more sentences; empty when all
    // is well or there is nothing to do.
    virtual std::string advice() const { return {}; }
    // Where the port table's addresses come from, in the words the port panel's heading reads
    // after "Parallel ports" ("listed by the BIOS"); empty when the back end does not say.
    virtual std::string portSource() const { return {}; }
    // The most scans per second this way of access allows; 0 while unknown.
    virtual double scanCeiling() const { return 0; }
    // Called after status() changed by itself (a port claimed, a port lost); one listener,
    // a later one replaces it, an empty one silences it.
    void onStatusChange(std::function<void()> listener) { listener_ = std::move(listener); }

  protected:
    void statusChanged() const;

  private:
    std::function<void()> listener_;
};

// Binds every later access to backend (not owned). nullptr leaves an empty bus: writes are
// lost, reads give 0xFF, physical memory cannot be read, pauses sleep for real.
void UsePortBackend(PortBackend* backend);

// The bound back end in words, for a recording's header: its status line's text.
std::string ActiveBackendDescription();
BackendStatus ActiveBackendStatus();
// The bound back end's scanCeiling(): the most scans a second it allows, 0 while unknown.
double ActiveBackendScanCeiling();
// The bound back end's portSource().
std::string ActiveBackendPortSource();
// How often any back end's status changed by itself since the run began: cheap to compare
// scan by scan, where asking for the status itself would build its text.
std::uint64_t BackendStatusChanges();

// The port address last written (0: none yet): the converter link writes only its port's data
// register, so this is the base address in use, for a recording's header.
std::uint16_t LastPortWritten();

// A real pause: sleeps for that many seconds; nothing for none, a negative or a NaN.
void SleepFor(double seconds);

}  // namespace engine

// The port number travels as a signed 16-bit number; the engine reads its 16 bits back as an
// address 0-0xFFFF, so a card above 0x7FFF is reached too.
void RT_outp(short port, unsigned char value);
unsigned char RT_inp(short port);
void Delay(double seconds);
// Returns 1 when all bytes were copied, 0 otherwise (the buffer is then left untouched).
int ReadFromPhysicalMemory(unsigned int physicalAddress, void* destination, unsigned int count);
