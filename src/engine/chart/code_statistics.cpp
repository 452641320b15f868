#include "engine/chart/code_statistics.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace engine {

double CodeStatistics::effectiveBits() const {
    // Within the converter's own rounding the input is as quiet as the converter can tell.
    const double spread = deviation * std::sqrt(12.0);
    if (!(spread > 1)) return kConverterBits;
    return std::clamp(kConverterBits - std::log2(spread), 0.0, double(kConverterBits));
}

CodeStatistics CodeStatisticsOf(const std::int16_t* codes, long count, long stride) {
    CodeStatistics s;
    s.histogram.assign(kConverterCodes, 0);
    if (codes == nullptr || count <= 0) return s;
    // Sums are taken from the first code, in whole numbers: exact for any span a history
    // holds, and no cancellation in the deviation of a steady input far from zero.
    const int origin = codes[0];
    long long sum = 0;
    unsigned long long squares = 0;
    int low = INT_MAX, high = INT_MIN;
    // Of the converter codes only: their range, and every bit ever 1 and ever 0.
    int codeLow = INT_MAX, codeHigh = INT_MIN;
    unsigned everSet = 0, alwaysSet = ~0u;
    const std::int16_t* p = codes;
    for (long i = 0; i < count; ++i, p += stride) {
        const int c = *p;
        const long long d = c - origin;
        sum += d;
        squares += static_cast<unsigned long long>(d * d);
        low = std::min(low, c);
        high = std::max(high, c);
        if (c < 0 || c >= kConverterCodes) {
            ++s.outOfRange;
            continue;
        }
        ++s.histogram[static_cast<std::size_t>(c)];
        codeLow = std::min(codeLow, c);
        codeHigh = std::max(codeHigh, c);
        everSet |= static_cast<unsigned>(c);
        alwaysSet &= static_cast<unsigned>(c);
    }
    s.count = count;
    s.low = low;
    s.high = high;
    const double n = static_cast<double>(count);
    const double meanOffset = static_cast<double>(sum) / n;
    s.mean = origin + meanOffset;
    s.deviation =
        std::sqrt(std::max(0.0, static_cast<double>(squares) / n - meanOffset * meanOffset));
    if (codeLow > codeHigh) return s;  // no converter code at all
    for (int c = codeLow + 1; c < codeHigh; ++c)
        if (s.histogram[static_cast<std::size_t>(c)] == 0) ++s.missingCodes;
    for (int b = 0; b < kConverterBits; ++b) {
        // Codes that reach from one multiple of 2^b to another pass through both values of
        // bit b: a bit that stayed put there is held by its line.
        if ((codeLow >> b) == (codeHigh >> b)) continue;
        const unsigned bit = 1u << b;
        if (alwaysSet & bit) s.stuckHigh |= bit;
        if (!(everSet & bit)) s.stuckLow |= bit;
    }
    return s;
}

}  // namespace engine
