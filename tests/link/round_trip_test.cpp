// Codes pushed through the simulated converter and the link come back exact.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/ports/simulated_converter.h"
#include "link/basicIO.h"
#include "scripted_port.h"

using engine::SimFault;
using engine::SimulatedConverter;

namespace {

constexpr double kStep = 2.5 / 4096;
constexpr double kFullScale = 2.4993896484375;  // code 4095

class RoundTrip : public ::testing::Test {
  protected:
    void SetUp() override {
        inizializeBus(0x378);
        converter.recordAccesses(true);
    }
    void setVolts(int channel, double volts) {
        converter.setInput(channel, [volts](double) { return volts; });
    }
    // An input in the middle of a code's step, where any converter reads that code.
    void setCode(int channel, int code) { setVolts(channel, (code + 0.5) * kStep); }

    engine::ManualClock clock;
    SimulatedConverter converter{clock};
    UsePort use{converter};
};

}  // namespace

TEST_F(RoundTrip,
       EveryChannelReadsItsOwnInputInAScanOf568AccessesToTheConverterPortOnlyAndAnEmptyPortFloats) {
    // A wrong select code, a lost start bit or a shifted bit order each land on another
    // channel's code or on a code no channel holds.
    const int codes[8] = {0x123, 0xA5C, 0x0F1, 0x7E0, 0x3B4, 0xC0F, 0x555, 0xFFE};
    for (int ch = 0; ch < 8; ++ch) setCode(ch, codes[ch]);
    for (unsigned char ch = 0; ch < 8; ++ch) {
        EXPECT_EQ(getVolt(ch), codes[ch] * kStep) << "channel " << int(ch);
        EXPECT_EQ(converter.lastChannel(), ch);
    }
    ASSERT_EQ(converter.accesses().size(), 568u);
    for (auto& a : converter.accesses()) EXPECT_EQ(a.address, a.write ? 0x378 : 0x379);
    EXPECT_TRUE(engine::PopupLog().empty());

    inizializeBus(0x278);  // nothing attached: inputs float high, pin 11 reads inverted
    EXPECT_EQ(getVolt(3), kFullScale);
    EXPECT_EQ(in(0x3BD), 0xFF);  // no port there at all
    EXPECT_EQ(converter.status(),
              (engine::BackendStatus{"Simulated converter \u2014 voltages generated, not measured",
                                     engine::BackendTone::notice}));
}

TEST_F(RoundTrip, EveryCodeComesBackExactAndInputsBeyondTheRangeReadAsItsEnds) {
    for (int code = 0; code < 4096; ++code) {
        setCode(5, code);
        ASSERT_EQ(getVolt(5), code * kStep) << "code " << code;
    }
    const struct {
        double in, read;
    } ends[] = {{-0.2, 0.0}, {1.25, 1.25}, {2.5, kFullScale}, {3.3, kFullScale}};
    for (const auto& e : ends) {
        setVolts(5, e.in);
        EXPECT_EQ(getVolt(5), e.read) << e.in << " V";
    }
}

TEST_F(RoundTrip, FaultsGiveWhatAnOperatorWouldSee) {
    const struct {
        SimFault fault;
        double read;  // on every channel; NaN: the input's own code
        std::size_t popups;
    } cases[] = {
        {SimFault::unplugged, kFullScale, 0},  // cable off: inputs float, read inverted
        {SimFault::unpowered, 0.0, 8},         // one time-out per conversion
        {SimFault::strobeStuck, NAN, 8},       // times out, but the code still arrives
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        engine::ClearPopupLog();
        engine::ClearQuitRequest();
        converter.setFault(c.fault);
        for (unsigned char ch = 0; ch < 8; ++ch) {
            setCode(ch, 0x9A5 + ch);
            EXPECT_EQ(getVolt(ch), std::isnan(c.read) ? (0x9A5 + ch) * kStep : c.read);
        }
        EXPECT_EQ(engine::PopupLog().size(), c.popups);
        EXPECT_EQ(engine::QuitRequested(), c.popups > 0);
    }
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
    EXPECT_NE(first, readings(8));
    const auto right = std::count(first.begin(), first.end(), 1638 * kStep);  // 1.0 V
    EXPECT_GT(right, 10);
    EXPECT_LT(right, 190);
}

TEST_F(RoundTrip, TheBoardIsPoweredFromDataBitsZeroToFourAndStartsAfreshWhenTheyRiseAgain) {
    setCode(2, 0x6C3);
    // The kernel's probe of the port, which toggles clock and data and powers the board down;
    // mid-probe 0xFF powers it up for a moment and its rising clock edges start a command.
    for (int byte : {0xAA, 0x55, 0xF0, 0x0F, 0x52, 0xAD, 0xFF, 0xA7, 0x87, 0xE7, 0x00})
        out(0x378, static_cast<unsigned char>(byte));
    // Unpowered: a whole command clocked in (start bit, then 0x9E's bits 6..1) is not heard
    // and the strobe stays low.
    for (int bit : {1, 0, 0, 1, 1, 1, 1})
        for (int clock : {0, 0x80}) out(0x378, static_cast<unsigned char>(clock | bit << 5));
    EXPECT_EQ(in(0x379), 0xBF);
    EXPECT_EQ(converter.conversions(), 0u);
    // The program's bus set-up powers it and the first conversion is right.
    inizializeBus(0x378);
    EXPECT_EQ(getVolt(2), 0x6C3 * kStep);
    EXPECT_TRUE(engine::PopupLog().empty());
    // The supply dropping in the middle of a command leaves nothing of it behind.
    playCommand(0x9E);
    out(0x378, 0x0F);
    inizializeBus(0x378);
    EXPECT_EQ(getVolt(2), 0x6C3 * kStep);
}
