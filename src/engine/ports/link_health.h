// Whether the converter is really answering, judged from the wire and from the values it
// gives. Plain C++, a few comparisons per scan and per port access, no allocation.
//
// On the wire: the link waits for the converter's strobe (status bit 6, pin 10) by polling the
// status register; a wait that ends because the link moved on (a write) after many polls found
// the strobe low is a time-out. After the strobe the link clocks out 18 samples, reading the
// status after each falling clock edge; the converter sends its 12 code bits and then zeros, so
// the last four samples are zeros on a sound line. A one there is a bit the line flipped. A
// read-out of ones throughout is a line held or floating, not noise: the values say that. A
// back end that says its port stopped answering is a lost port.
//
// In the values: a converter that is not there (no cable, no board, an empty port) reads the
// same code on every channel, scan after scan: full scale where the inputs float high, 0 where
// they are held low. Only whole scans count: one channel at full scale is a signal, not a
// fault.
#pragma once

#include <array>
#include <cstdint>

namespace engine {

enum class LinkFault {
    none,
    fullScale,     // every channel at code 4095 for kScansToJudge scans: nothing answering
    zero,          // every channel at code 0 for kScansToJudge scans
    noConversion,  // conversions timed out and read 0: the converter is dead
    noStrobe,      // conversions timed out but read something: the strobe line is at fault
    portLost,      // the back end lost the port
    noisy,         // kFlipsToJudge flipped bits within kNoiseWindow scans
};

// What the wire watch saw since it was last asked.
struct WireTally {
    int timeOuts = 0;     // waits for the strobe the link gave up on
    int flippedBits = 0;  // ones in the samples after the least significant bit
};

class LinkHealth {
  public:
    static constexpr int kScansToJudge = 8;
    static constexpr int kFullScale = 4095;
    static constexpr double kVoltsFullScale = 2.5;  // code = volts * 4096 / kVoltsFullScale
    // A flipped bit now and then is a glitch; this many within the window is a noisy line, and
    // the window passing clean clears it.
    static constexpr int kNoiseWindow = 64;
    static constexpr int kFlipsToJudge = 4;

    // One scan of `channels` values in volts, taken at `seconds`, with what the wire showed
    // while it was made and whether the port is lost. True when fault() changed.
    bool scan(const double* volts, int channels, double seconds, WireTally wire, bool portLost);
    LinkFault fault() const { return fault_; }
    // When the first scan the fault touches was taken: for the whole-scan signatures, the
    // first scan of the run; for a noisy line, the first flipped scan since the window was
    // clean.
    double since() const { return since_; }

  private:
    LinkFault fault_ = LinkFault::none;
    double since_ = 0;
    int full_run_ = 0, zero_run_ = 0;
    double full_from_ = 0, zero_from_ = 0;
    std::array<std::uint8_t, kNoiseWindow> flips_{};  // per scan, round the window
    int flip_slot_ = 0, flips_in_window_ = 0;
    bool noisy_ = false;
    double flips_from_ = 0;
};

// The wire watch, fed by every port access.
void WatchPortRead(std::uint16_t address, std::uint8_t value);
void WatchPortWrite(std::uint16_t address, std::uint8_t value);
// What the wire showed since the last call (or since the run began).
WireTally TakeWireTally();
// How many polls finding the strobe low, then a write, make a time-out: a strobe read on the
// way through a read-out is one poll.
inline constexpr int kPollsBeforeTimeOut = 16;

}  // namespace engine
