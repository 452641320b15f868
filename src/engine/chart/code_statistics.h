// Statistics of a span of one channel that know the converter: every value is a 12-bit code,
// so noise is given in steps, the effective number of bits is measured on a steady input, and
// a code histogram shows codes never seen and data bits that never change while the signal
// does (a broken or shorted data line between the converter and the port).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace engine {

constexpr int kConverterBits = 12;
constexpr int kConverterCodes = 1 << kConverterBits;

struct CodeStatistics {
    long count = 0;                  // scans; nothing else is meaningful when 0
    int low = 0, high = 0;           // codes
    double mean = 0, deviation = 0;  // codes (population standard deviation)
    long outOfRange = 0;             // values that are no converter code (below 0, above 4095)
    std::vector<std::uint32_t> histogram;  // kConverterCodes counts, code 0 first
    // Codes between low and high never seen: a missing code, or a signal that jumped.
    int missingCodes = 0;
    // Bits that never changed though the codes seen cross a boundary where they must:
    // held at 1 (stuckHigh) or at 0 (stuckLow). Bit 0 is the least significant.
    unsigned stuckHigh = 0, stuckLow = 0;
    // Steady input: peak to peak within kSteadyCodes. Then the noise and effective bits mean
    // something; otherwise they are not given.
    bool steady() const { return count > 1 && high - low <= kSteadyCodes; }
    static constexpr int kSteadyCodes = 64;
    double noiseSteps() const { return deviation; }
    // 12 - log2(deviation * sqrt(12)), from 0 to 12 (12 when the deviation is within the
    // converter's own rounding, 1/sqrt(12) of a step).
    double effectiveBits() const;
};

// Of `count` codes, each `stride` apart (a history's codes of one trace).
CodeStatistics CodeStatisticsOf(const std::int16_t* codes, long count, long stride = 1);

}  // namespace engine
