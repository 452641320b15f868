#include "engine/ports/simulated_converter.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace engine {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr std::uint8_t kClock = 0x80;
constexpr std::uint8_t kDataIn = 0x20;
constexpr std::uint8_t kStrobe = 0x40;
constexpr std::uint8_t kDataOut = 0x80;       // status bit of pin 11, inverted by the port
constexpr std::uint8_t kFloatingLow6 = 0x3F;  // status bits 0-5: unconnected, high
constexpr std::uint8_t kSupply = 0x1F;        // data bits 0-4 power the board

// Select code in command bits 6-4 -> channel; the converter's own wiring, not the identity.
constexpr int kChannelOfSelect[8] = {0, 2, 4, 6, 1, 3, 5, 7};

std::uint64_t mix(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double triangle(double t, double period) {
    double phase = std::fmod(t / period, 1.0);
    if (phase < 0) phase += 1.0;
    return phase < 0.5 ? 2 * phase : 2 - 2 * phase;
}

double sawtooth(double t, double period) {
    double phase = std::fmod(t / period, 1.0);
    return phase < 0 ? phase + 1.0 : phase;
}

}  // namespace

SteadyClock::SteadyClock()
    : start_ns_(std::chrono::duration_cast<std::chrono::nanoseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count()) {}

double SteadyClock::now() const {
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                  std::chrono::steady_clock::now().time_since_epoch())
                  .count();
    return static_cast<double>(ns - start_ns_) * 1e-9;
}

void SteadyClock::pause(double seconds) {
    SleepFor(seconds);
}

SimulatedConverter::SimulatedConverter(Clock& clock, std::uint32_t seed)
    : clock_(clock), rng_(seed) {
    // The BIOS lists LPT1 at 0x378 and LPT2 at 0x278, no LPT3 (little-endian words).
    bios_area_[0x08] = 0x78;
    bios_area_[0x09] = 0x03;
    bios_area_[0x0A] = 0x78;
    bios_area_[0x0B] = 0x02;

    // Eight inputs distinct at every instant, so a wrong select code or a shifted bit shows.
    inputs_[0] = [](double) { return 0.3; };
    inputs_[1] = [](double t) { return 1.25 + 1.0 * std::sin(2 * kPi * 0.5 * t); };
    inputs_[2] = [](double t) { return 0.1 + 2.3 * triangle(t, 4.0); };
    inputs_[3] = [](double t) { return sawtooth(t, 1.0) < 0.5 ? 2.0 : 0.5; };
    inputs_[4] = [](double t) { return 0.2 + 2.1 * sawtooth(t, 5.0); };
    inputs_[5] = [](double t) { return 1.8 + 0.3 * std::sin(2 * kPi * t / 60.0); };
    const std::uint64_t noiseSeed = mix(seed);
    inputs_[6] = [noiseSeed](double t) {
        // Seeded noise, a function of time alone: the same instant always reads the same.
        auto step = static_cast<std::uint64_t>(static_cast<std::int64_t>(std::floor(t * 1000)));
        double u = static_cast<double>(mix(noiseSeed ^ step) >> 11) * 0x1.0p-53;
        return 1.0 + 0.1 * (u - 0.5);
    };
    inputs_[7] = [](double) { return 2.49; };
}

void SimulatedConverter::setInput(int channel, Signal signal) {
    if (channel >= 0 && channel < kChannels && signal) inputs_[channel] = std::move(signal);
}

double SimulatedConverter::input(int channel, double seconds) const {
    if (channel < 0 || channel >= kChannels) return 0;
    return inputs_[channel](seconds);
}

int SimulatedConverter::quantise(double volts) {
    double code = std::floor(volts * 4096.0 / 2.5);
    if (!(code >= 0)) return 0;  // negative or NaN
    if (code > 4095) return 4095;
    return static_cast<int>(code);
}

std::uint8_t SimulatedConverter::dataRegister(std::uint16_t base) const {
    if (base == kConverterPort) return data_[0];
    if (base == kEmptyPort) return data_[1];
    return 0;
}

void SimulatedConverter::write(std::uint16_t address, std::uint8_t value) {
    ++writes_;
    if (recording_) log_.push_back({address, true, value});
    switch (address) {
        case kConverterPort:
            data_[0] = value;
            converterSees(value);
            break;
        case kConverterPort + 2:
            control_[0] = value;
            break;
        case kEmptyPort:
            data_[1] = value;
            break;
        case kEmptyPort + 2:
            control_[1] = value;
            break;
        default:
            break;  // nothing answers there: the write is lost
    }
}

std::uint8_t SimulatedConverter::read(std::uint16_t address) {
    ++reads_;
    std::uint8_t value;
    switch (address) {
        case kConverterPort:
            value = data_[0];
            break;
        case kConverterPort + 1:
            value = converterStatus();
            break;
        case kConverterPort + 2:
            value = control_[0];
            break;
        case kEmptyPort:
            value = data_[1];
            break;
        // Nothing attached: every input floats high, and pin 11 reads back inverted.
        case kEmptyPort + 1:
            value = 0x7F;
            break;
        case kEmptyPort + 2:
            value = control_[1];
            break;
        default:
            value = 0xFF;
            break;
    }
    if (recording_) log_.push_back({address, false, value});
    return value;
}

bool SimulatedConverter::readPhysical(std::uint32_t address, void* buffer, std::size_t count) {
    auto* out = static_cast<std::uint8_t*>(buffer);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t a = static_cast<std::uint64_t>(address) + i;
        out[i] = (a >= 0x400 && a < 0x500) ? bios_area_[a - 0x400] : 0;
    }
    return true;
}

std::uint8_t SimulatedConverter::converterStatus() {
    switch (fault_) {
        case SimFault::unplugged:
            return 0x7F;
        case SimFault::unpowered:
            return kDataOut | kFloatingLow6;  // strobe and data held low
        default:
            break;
    }
    if (!powered_) return kDataOut | kFloatingLow6;
    std::uint8_t status = kFloatingLow6;
    if (strobe_ && fault_ != SimFault::strobeStuck) status |= kStrobe;
    if (!data_out_) status |= kDataOut;
    return status;
}

void SimulatedConverter::converterSees(std::uint8_t value) {
    if (fault_ == SimFault::unplugged || fault_ == SimFault::unpowered) {
        clock_line_ = (value & kClock) != 0;
        return;
    }
    bool clock = (value & kClock) != 0;
    if ((value & kSupply) != kSupply) {
        powered_ = false;
        clock_line_ = clock;
        return;
    }
    if (!powered_) {
        // Power-on reset: whatever it was doing when the supply went is forgotten.
        powered_ = true;
        phase_ = Phase::idle;
        strobe_ = data_out_ = false;
        bits_ = pulse_ = code_ = 0;
        shift_ = 0;
        clock_line_ = clock;
        return;
    }
    if (clock && !clock_line_) risingEdge((value & kDataIn) != 0);
    if (!clock && clock_line_) fallingEdge();
    clock_line_ = clock;
}

void SimulatedConverter::risingEdge(bool dataIn) {
    switch (phase_) {
        case Phase::idle:
            if (dataIn) {
                phase_ = Phase::command;
                shift_ = 1;
                bits_ = 1;
            }
            break;
        case Phase::command:
            shift_ = (shift_ << 1) | (dataIn ? 1u : 0u);
            if (++bits_ == 7) {
                // shift_ holds the start bit and command bits 6..1; the select code is 6..4.
                int channel = kChannelOfSelect[(shift_ >> 3) & 7];
                code_ = quantise(input(channel, clock_.now()));
                last_channel_ = channel;
                ++conversions_;
                strobe_ = true;
                phase_ = Phase::readout;
                pulse_ = 0;
            }
            break;
        case Phase::readout:
            strobe_ = false;
            ++pulse_;
            break;
    }
}

void SimulatedConverter::fallingEdge() {
    if (phase_ != Phase::readout || pulse_ == 0) return;
    bool bit = false;
    if (pulse_ >= 2 && pulse_ <= 9) bit = (code_ >> (11 - (pulse_ - 2))) & 1;
    if (pulse_ >= 11 && pulse_ <= 14) bit = (code_ >> (3 - (pulse_ - 11))) & 1;
    if (fault_ == SimFault::noisy && nextNoise()) bit = !bit;
    data_out_ = bit;
    if (pulse_ == 18) phase_ = Phase::idle;
}

bool SimulatedConverter::nextNoise() {
    rng_ = mix(rng_);
    return static_cast<double>(rng_ >> 11) * 0x1.0p-53 < kNoiseRate;
}

}  // namespace engine
