// The link's health judged from scans, against hand-worked answers; the wire's time-outs are
// met through the real link in tests/ui/link_health_test.cpp.
#include "engine/ports/link_health.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using engine::LinkFault;
using engine::LinkHealth;

namespace {

constexpr double kFull = 2.4993896484375;  // code 4095
constexpr double kStep = 2.5 / 4096;

// A scan: 'F' every channel at full scale, 'Z' every channel at 0, 'R' real readings, '1' one
// channel at full scale and the rest real, 'N' every channel one step under full scale,
// 'T' real readings with a time-out, 'D' every channel 0 with time-outs, 'L' the port lost.
std::vector<double> scanOf(char kind) {
    std::vector<double> v = {0.3, 1.25, 1.6, 2.0, kStep, 1.0, 1.03, 2.49};
    if (kind == 'F') v.assign(8, kFull);
    if (kind == 'Z' || kind == 'D') v.assign(8, 0.0);
    if (kind == 'N') v.assign(8, kFull - kStep);
    if (kind == '1') v[3] = kFull;
    return v;
}

}  // namespace

TEST(LinkHealth, WholeScanSignaturesTimeOutsAndALostPortEachGiveTheirFaultFromTheRightScan) {
    struct Case {
        const char* scans;  // one a tenth of a second apart, from 0
        LinkFault fault;
        double since;
        int changes;
    };
    const Case cases[] = {
        {"FFFFFFF", LinkFault::none, 0, 0},                  // one short of judging
        {"FFFFFFFRFFFFFFFF", LinkFault::fullScale, 0.8, 1},  // a real scan starts the count over
        {"FFFFZZZZZZZZ", LinkFault::zero, 0.4, 1},
        {"1111111111111111", LinkFault::none, 0, 0},  // one saturated channel is a signal
        {"NNNNNNNNNNNN", LinkFault::none, 0, 0},      // a step under full scale is a reading
        {"FFFFFFFFFFR", LinkFault::none, 0, 2},       // real readings clear it at once
        {"TTTR", LinkFault::none, 0, 2},
        {"FFFFFFFFL", LinkFault::portLost, 0.8, 2},
        {"RLR", LinkFault::portLost, 0.1, 1},  // good values do not bring a lost port back
    };
    for (const Case& c : cases) {
        LinkHealth health;
        int changes = 0;
        bool lost = false;
        const std::string scans = c.scans;
        for (std::size_t i = 0; i < scans.size(); ++i) {
            lost = lost || scans[i] == 'L';
            const int timeOuts = scans[i] == 'T' || scans[i] == 'D' ? 8 : 0;
            changes += health.scan(scanOf(scans[i]).data(), 8, 0.1 * static_cast<double>(i),
                                   timeOuts, lost);
        }
        EXPECT_EQ(health.fault(), c.fault) << c.scans;
        EXPECT_EQ(changes, c.changes) << c.scans;
        if (c.fault != LinkFault::none) {
            EXPECT_DOUBLE_EQ(health.since(), c.since) << c.scans;
        }
    }
}
