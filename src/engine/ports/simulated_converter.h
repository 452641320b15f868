// The simulated converter: a PC with two parallel ports and the eight-channel converter wired
// to the first, seen only through port accesses, as the converter link sees real hardware.
//
// The converter hears nothing but the levels written to the data register of port 0x378:
//   bit 7 clock, bit 5 data into the converter, bits 0-4 its supply, bit 6 a line it ignores.
// Power: while any of bits 0-4 is low the board is off and reads as the unpowered fault does
// (strobe and data held low); the write that raises the last of them is a power-on reset, after
// which the converter is idle, waiting for a start bit. Until the first write it is off.
// It answers only on that port's status register:
//   bit 6 strobe (pin 10, as it is), bit 7 data out of the converter (pin 11, which the port
//   presents inverted); bits 0-5 read high (unconnected inputs float high).
//
// Command: from idle, the first rising clock edge that finds the data line high is the start
// bit; the next six rising edges shift in command bits 6..1. Bits 6-4 are the select code
// (channel 0..7 use codes 0 4 1 5 2 6 3 7). After that seventh edge the converter samples the
// channel, holds the 12-bit code and raises its strobe.
// Output frame: 18 read-out clocks follow. On each rising edge the strobe drops; after each
// falling edge the data line carries the frame bit of that clock:
//   clock 1: 0 (dropped by the read-out), clocks 2-9: code bits 11..4,
//   clock 10: 0 (dropped), clocks 11-14: code bits 3..0, clocks 15-18: 0.
// After clock 18 the converter is idle again.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/options.h"
#include "engine/ports/port_io.h"

namespace engine {

// Time for the simulated inputs and for pauses, in seconds.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
    virtual void pause(double seconds) = 0;
};

// Wall-clock time since construction; a pause sleeps for real.
class SteadyClock final : public Clock {
  public:
    SteadyClock();
    double now() const override;
    void pause(double seconds) override;

  private:
    std::int64_t start_ns_;
};

// Time that only moves when told to; a pause advances it. For tests.
class ManualClock final : public Clock {
  public:
    double now() const override { return t_; }
    void pause(double seconds) override { t_ += seconds; }
    void set(double t) { t_ = t; }

  private:
    double t_ = 0;
};

// What every panel's status line says while the simulated converter stands in for the board.
inline constexpr const char* kSimulatedStatus =
    "Simulated converter \u2014 voltages generated, not measured";
// Its ports as the port panel's heading names them, after "Parallel ports": the status line
// above already begins with the same words.
inline constexpr const char* kSimulatedSource = "of the simulated converter";

struct PortAccess {
    std::uint16_t address;
    bool write;
    std::uint8_t value;
    bool operator==(const PortAccess& o) const {
        return address == o.address && write == o.write && value == o.value;
    }
};

class SimulatedConverter final : public PortBackend {
  public:
    static constexpr std::uint16_t kConverterPort = 0x378;
    static constexpr std::uint16_t kEmptyPort = 0x278;
    static constexpr int kChannels = 8;

    explicit SimulatedConverter(Clock& clock, std::uint32_t seed = 1);

    void write(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t read(std::uint16_t address) override;
    bool readPhysical(std::uint32_t address, void* buffer, std::size_t count) override;
    void pause(double seconds) override { clock_.pause(seconds); }
    // Said on every panel, so that simulated voltages are never taken for measured ones.
    BackendStatus status() const override { return {kSimulatedStatus, BackendTone::notice}; }
    std::string portSource() const override { return kSimulatedSource; }

    // The converter's inputs: volts as a function of the clock's time.
    using Signal = std::function<double(double seconds)>;
    void setInput(int channel, Signal signal);
    double input(int channel, double seconds) const;
    // The code a 2.5 V, 12-bit converter makes of volts: floor(V * 4096 / 2.5), in 0..4095.
    static int quantise(double volts);

    void setFault(SimFault fault) { fault_ = fault; }

    // What happened on the wire.
    std::uint64_t writes() const { return writes_; }
    std::uint64_t reads() const { return reads_; }
    std::uint64_t conversions() const { return conversions_; }
    int lastChannel() const { return last_channel_; }
    // The access log is off by default so that a long live run does not grow without bound.
    void recordAccesses(bool on) { recording_ = on; }
    const std::vector<PortAccess>& accesses() const { return log_; }
    void clearAccesses() { log_.clear(); }
    // Last byte written to the data register at a port base (0 when never written).
    std::uint8_t dataRegister(std::uint16_t base) const;

  private:
    void converterSees(std::uint8_t dataRegister);
    void risingEdge(bool dataIn);
    void fallingEdge();
    std::uint8_t converterStatus();
    bool nextNoise();

    Clock& clock_;
    std::array<Signal, kChannels> inputs_;
    std::array<std::uint8_t, 256> bios_area_{};  // physical 0x400..0x4FF
    std::uint8_t data_[2] = {0, 0};              // data registers of 0x378 and 0x278
    std::uint8_t control_[2] = {0, 0};
    SimFault fault_ = SimFault::none;
    static constexpr double kNoiseRate = 1.0 / 64;  // chance a noisy line flips a bit
    std::uint64_t rng_;

    enum class Phase { idle, command, readout } phase_ = Phase::idle;
    bool powered_ = false;
    bool clock_line_ = false;
    bool strobe_ = false;
    bool data_out_ = false;
    int bits_ = 0;
    unsigned shift_ = 0;
    int code_ = 0;
    int pulse_ = 0;

    std::uint64_t writes_ = 0, reads_ = 0, conversions_ = 0;
    int last_channel_ = -1;
    bool recording_ = false;
    std::vector<PortAccess> log_;
};

}  // namespace engine
