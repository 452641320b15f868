#include "engine/ports/link_health.h"

namespace engine {
namespace {

constexpr std::uint8_t kClock = 0x80;    // data register bit 7, pin 9
constexpr std::uint8_t kStrobe = 0x40;   // status bit 6, pin 10
constexpr std::uint8_t kDataOut = 0x80;  // status bit 7, pin 11: a 0 read is a 1 sent
constexpr int kSamples = 18;             // two bytes of 9 clocks after the strobe
constexpr int kLastCodeSample = 14;      // the least significant bit; zeros follow

std::uint16_t dataRegister = 0;  // the port last written: the link writes only its data register
bool clockHigh = false;
int strobeLowPolls = 0;
WireTally tally;

// The read-out under way: falling clock edges since the strobe, and the ones read so far.
bool inReadOut = false;
int falls = 0, ones = 0, trailingOnes = 0;

// The code a value in volts stands for, exactly: every reading is a whole number of steps.
double codeOf(double volts) {
    return volts * 4096 / LinkHealth::kVoltsFullScale;
}

}  // namespace

void WatchPortRead(std::uint16_t address, std::uint8_t value) {
    if (address != static_cast<std::uint16_t>(dataRegister + 1)) return;
    const bool strobe = (value & kStrobe) != 0;
    strobeLowPolls = strobe ? 0 : strobeLowPolls + 1;
    if (!inReadOut) {
        inReadOut = strobe;
        falls = ones = trailingOnes = 0;
        return;
    }
    if (falls == 0) return;  // the strobe seen again before the first clock
    const bool one = (value & kDataOut) == 0;
    ones += one;
    trailingOnes += one && falls > kLastCodeSample;
    if (falls < kSamples) return;
    inReadOut = false;
    if (ones < kSamples) tally.flippedBits += trailingOnes;
}

void WatchPortWrite(std::uint16_t address, std::uint8_t value) {
    if (strobeLowPolls >= kPollsBeforeTimeOut) ++tally.timeOuts;
    strobeLowPolls = 0;
    const bool clock = (value & kClock) != 0;
    if (address != dataRegister) {
        inReadOut = false;
    } else if (inReadOut && clockHigh && !clock) {
        ++falls;
    }
    clockHigh = clock;
    dataRegister = address;
}

WireTally TakeWireTally() {
    const WireTally taken = tally;
    tally = {};
    return taken;
}

bool LinkHealth::scan(const double* volts, int channels, double seconds, WireTally wire,
                      bool portLost) {
    bool allFull = channels > 0, allZero = channels > 0;
    for (int i = 0; i < channels; ++i) {
        const double code = codeOf(volts[i]);
        allFull = allFull && code == kFullScale;
        allZero = allZero && code == 0;
    }
    if (allFull && full_run_++ == 0) full_from_ = seconds;
    if (!allFull) full_run_ = 0;
    if (allZero && zero_run_++ == 0) zero_from_ = seconds;
    if (!allZero) zero_run_ = 0;

    const auto flips = static_cast<std::uint8_t>(wire.flippedBits < 255 ? wire.flippedBits : 255);
    if (flips_in_window_ == 0 && flips > 0) flips_from_ = seconds;
    flips_in_window_ += flips - flips_[static_cast<std::size_t>(flip_slot_)];
    flips_[static_cast<std::size_t>(flip_slot_)] = flips;
    flip_slot_ = (flip_slot_ + 1) % kNoiseWindow;
    if (flips_in_window_ >= kFlipsToJudge) noisy_ = true;
    if (flips_in_window_ == 0) noisy_ = false;

    LinkFault now = LinkFault::none;
    double from = seconds;
    if (portLost) {
        now = LinkFault::portLost;
    } else if (wire.timeOuts > 0) {
        now = allZero ? LinkFault::noConversion : LinkFault::noStrobe;
    } else if (full_run_ >= kScansToJudge) {
        now = LinkFault::fullScale;
        from = full_from_;
    } else if (zero_run_ >= kScansToJudge) {
        now = LinkFault::zero;
        from = zero_from_;
    } else if (noisy_) {
        now = LinkFault::noisy;
        from = flips_from_;
    }
    if (now == fault_) return false;
    fault_ = now;
    since_ = from;
    return true;
}

}  // namespace engine
