#include "engine/ports/link_health.h"

namespace engine {
namespace {

constexpr std::uint8_t kStrobe = 0x40;  // status bit 6, pin 10

std::uint16_t dataRegister = 0;  // the port last written: the link writes only its data register
int strobeLowPolls = 0;
int timeOuts = 0;

// The code a value in volts stands for, exactly: every reading is a whole number of steps.
double codeOf(double volts) {
    return volts * 4096 / LinkHealth::kVoltsFullScale;
}

}  // namespace

void WatchPortRead(std::uint16_t address, std::uint8_t value) {
    if (address != static_cast<std::uint16_t>(dataRegister + 1)) return;
    strobeLowPolls = (value & kStrobe) ? 0 : strobeLowPolls + 1;
}

void WatchPortWrite(std::uint16_t address) {
    if (strobeLowPolls >= kPollsBeforeTimeOut) ++timeOuts;
    strobeLowPolls = 0;
    dataRegister = address;
}

int TakeStrobeTimeOuts() {
    const int taken = timeOuts;
    timeOuts = 0;
    return taken;
}

bool LinkHealth::scan(const double* volts, int channels, double seconds, int timeOutCount,
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

    LinkFault now = LinkFault::none;
    double from = seconds;
    if (portLost) {
        now = LinkFault::portLost;
    } else if (timeOutCount > 0) {
        now = allZero ? LinkFault::noConversion : LinkFault::noStrobe;
    } else if (full_run_ >= kScansToJudge) {
        now = LinkFault::fullScale;
        from = full_from_;
    } else if (zero_run_ >= kScansToJudge) {
        now = LinkFault::zero;
        from = zero_from_;
    }
    if (now == fault_) return false;
    fault_ = now;
    since_ = from;
    return true;
}

}  // namespace engine
