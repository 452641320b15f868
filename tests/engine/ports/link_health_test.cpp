// The link's health judged from scans and what the wire showed, against hand-worked answers;
// the wire itself is met through the real link in tests/ui/link_health_test.cpp.
#include "engine/ports/link_health.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace engine;

static constexpr double kFull = 2.4993896484375;  // code 4095
static constexpr double kStep = 2.5 / 4096;

// A scan: 'F' every channel at full scale, 'Z' every channel at 0, 'R' real readings, '1' one
// channel at full scale, 'N' every channel a step under it; 'T' real readings, 'D' every channel
// 0, with time-outs; 'L' the port lost; 'g' real readings with a flipped bit, 'G' with two.
static std::vector<double> scanOf(char kind) {
    std::vector<double> v = {0.3, 1.25, 1.6, 2.0, kStep, 1.0, 1.03, 2.49};
    if (kind == 'F' || kind == 'N') v.assign(8, kind == 'F' ? kFull : kFull - kStep);
    if (kind == 'Z' || kind == 'D') v.assign(8, 0.0);
    if (kind == '1') v[3] = kFull;
    return v;
}

static const std::string kWindow(LinkHealth::kNoiseWindow, 'R');  // a window of real readings

TEST(LinkHealth, EachSignatureGivesItsFaultFromTheRightScanAndClearsWhenReadingsReturn) {
    struct Case {
        std::string scans;  // one a tenth of a second apart, from 0
        LinkFault fault;
        double since;
        int changes;
    };
    const Case cases[] = {
        {"FFFFFFFRFFFFFFFF", LinkFault::fullScale, 0.8, 1},  // a real scan starts the count over
        {"FFFFZZZZZZZZ", LinkFault::zero, 0.4, 1},
        {"1111111111111111", LinkFault::none, 0, 0},  // one saturated channel is a signal
        {"NNNNNNNNNNNN", LinkFault::none, 0, 0},      // a step under full scale is a reading
        {"TD", LinkFault::noConversion, 0.1, 2},
        {"FFFFFFFFL", LinkFault::portLost, 0.8, 2},
        {"RgRRgGR", LinkFault::noisy, 0.1, 1},
        {"Rgg" + kWindow.substr(4) + "gg", LinkFault::noisy, 0.1, 1},  // one window's ends
        {"RGG" + kWindow, LinkFault::none, 0, 2},                 // a window passed clean clears it
        {"Rgggg" + kWindow.substr(1), LinkFault::noisy, 0.1, 1},  // one flip left in it
        {"g" + kWindow + "g" + kWindow + "g" + kWindow + "g", LinkFault::none, 0, 0},
        {"RGGFFFFFFFF", LinkFault::fullScale, 0.3, 2},
    };
    for (const Case& c : cases) {
        LinkHealth health;
        int changes = 0;
        for (std::size_t i = 0; i < c.scans.size(); ++i) {
            const char kind = c.scans[i];
            const WireTally wire = {kind == 'T' || kind == 'D' ? 8 : 0,
                                    (kind == 'g') + 2 * (kind == 'G')};
            changes += health.scan(scanOf(kind).data(), 8, 0.1 * static_cast<double>(i), wire,
                                   kind == 'L');
        }
        EXPECT_EQ(health.fault(), c.fault) << c.scans;
        EXPECT_EQ(changes, c.changes) << c.scans;
        EXPECT_DOUBLE_EQ(c.fault == LinkFault::none ? 0 : health.since(), c.since) << c.scans;
    }
}
