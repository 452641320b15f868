// Codes pushed through the simulated converter and the link come back exact.
#include <gtest/gtest.h>

#include "engine/ports/simulated_converter.h"
#include "link/basicIO.h"
#include "scripted_port.h"

using engine::SimFault;
using engine::SimulatedConverter;

namespace {

constexpr double kStep = 2.5 / 4096;

class RoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        inizializeBus(0x378);
        converter.recordAccesses(true);
    }
    double voltsOf(int code) { return code * kStep; }
    // An input sitting in the middle of a code's step, where any converter reads that code.
    void setCode(int channel, int code) {
        converter.setInput(channel, [code](double) { return (code + 0.5) * kStep; });
    }

    engine::ManualClock clock;
    SimulatedConverter converter{clock};
    UsePort use{converter};
};

}  // namespace

TEST_F(RoundTrip, EveryChannelReadsItsOwnInput) {
    // Codes chosen so that a wrong select code, a lost start bit or a shifted bit order each
    // land on another channel's code or on a code no channel holds.
    const int codes[8] = {0x123, 0xA5C, 0x0F1, 0x7E0, 0x3B4, 0xC0F, 0x555, 0xFFE};
    for (int ch = 0; ch < 8; ++ch) setCode(ch, codes[ch]);
    for (int pass = 0; pass < 2; ++pass) {
        for (unsigned char ch = 0; ch < 8; ++ch) {
            EXPECT_EQ(getVolt(ch), voltsOf(codes[ch])) << "channel " << int(ch);
            EXPECT_EQ(converter.lastChannel(), ch);
        }
    }
    EXPECT_TRUE(engine::PopupLog().empty());
}

TEST_F(RoundTrip, ASweepOfEveryCodeComesBackExact) {
    for (int code = 0; code < 4096; ++code) {
        setCode(5, code);
        ASSERT_EQ(getVolt(5), voltsOf(code)) << "code " << code;
    }
    // A real converter's transfer function at its ends.
    EXPECT_EQ(SimulatedConverter::quantise(-0.2), 0);
    EXPECT_EQ(SimulatedConverter::quantise(1.25), 2048);
    EXPECT_EQ(SimulatedConverter::quantise(2.5), 4095);
}

TEST_F(RoundTrip, OneScanIs568AccessesOnTheConverterPortOnly) {
    converter.clearAccesses();
    for (unsigned char ch = 0; ch < 8; ++ch) getVolt(ch);
    ASSERT_EQ(converter.accesses().size(), 568u);
    for (auto& a : converter.accesses()) {
        EXPECT_EQ(a.address, a.write ? 0x378 : 0x379);
    }
    EXPECT_EQ(converter.conversions(), 8u);
}

TEST_F(RoundTrip, FaultsGiveTheConstantsAnOperatorWouldSee) {
    converter.setFault(SimFault::unplugged);
    for (unsigned char ch = 0; ch < 8; ++ch) EXPECT_EQ(getVolt(ch), 2.4993896484375);
    EXPECT_TRUE(engine::PopupLog().empty());

    converter.setFault(SimFault::unpowered);
    for (unsigned char ch = 0; ch < 8; ++ch) EXPECT_EQ(getVolt(ch), 0.0);
    EXPECT_EQ(engine::PopupLog().size(), 8u);  // one time-out per conversion
    EXPECT_TRUE(engine::QuitRequested());
}

TEST_F(RoundTrip, AStuckStrobeTimesOutButTheCodeStillArrives) {
    setCode(4, 0x9A5);
    converter.setFault(SimFault::strobeStuck);
    EXPECT_EQ(getVolt(4), voltsOf(0x9A5));
    EXPECT_EQ(engine::PopupLog().size(), 1u);
}

TEST_F(RoundTrip, ANoisyDataLineCorruptsSomeReadingsReproduciblyFromItsSeed) {
    auto readings = [](std::uint32_t seed) {
        engine::ManualClock c;
        SimulatedConverter b(c, seed);
        engine::UsePortBackend(&b);
        b.setFault(SimFault::noisy);
        b.setInput(0, [](double) { return 1.0; });
        std::vector<double> r;
        for (int i = 0; i < 200; ++i) r.push_back(getVolt(0));
        return r;
    };
    const auto first = readings(7);
    EXPECT_EQ(first, readings(7));
    const auto wrong = std::count_if(first.begin(), first.end(), [](double v) {
        return v != SimulatedConverter::quantise(1.0) * kStep;
    });
    EXPECT_GT(wrong, 10);
    EXPECT_LT(wrong, 190);
}

TEST(SimulatedPorts, TheEmptyPortAndUnusedAddressesAnswerAsOnAPc) {
    engine::ManualClock clock;
    SimulatedConverter converter(clock);
    UsePort use(converter);
    inizializeBus(0x278);  // nothing attached: inputs float high, pin 11 reads inverted
    EXPECT_EQ(getVolt(3), 2.4993896484375);
    EXPECT_EQ(converter.dataRegister(0x278), 0x1F);
    EXPECT_EQ(in(0x3BD), 0xFF);  // no port there at all
}
