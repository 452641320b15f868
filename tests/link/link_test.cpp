// The link on the wire: its writes and reads against a port that records them, and codes
// pushed through the simulated converter and the link, which must come back exact.
#include <gtest/gtest.h>

#include <sstream>

#include "engine/dialogs.h"
#include "engine/ports/simulated_converter.h"
#include "link/basicIO.h"

using engine::SimulatedConverter;

// A port back end that records every write and read, and answers reads with one value.
struct ScriptedPort final : engine::PortBackend {
    std::vector<std::uint16_t> writtenTo, reads;
    std::vector<std::uint8_t> written;
    std::uint8_t answer = 0x40;  // strobe high, data 1
    double paused = 0;

    void write(std::uint16_t a, std::uint8_t v) override {
        writtenTo.push_back(a);
        written.push_back(v);
    }
    std::uint8_t read(std::uint16_t a) override {
        reads.push_back(a);
        return answer;
    }
    bool readPhysical(std::uint32_t, void*, std::size_t) override { return false; }
    void pause(double s) override { paused += s; }
    void clear() {
        writtenTo.clear();
        written.clear();
        reads.clear();
    }
};

// Installs a back end for one test and leaves the engine as it found it.
struct UsePort {
    explicit UsePort(engine::PortBackend& b) {
        engine::UsePortBackend(&b);
        engine::ClearPopupLog();
        engine::ClearQuitRequest();
    }
    ~UsePort() { engine::UsePortBackend(nullptr); }
};

namespace {

std::vector<std::uint8_t> bytes(const char* hex) {
    std::istringstream in(hex);
    std::vector<std::uint8_t> v;
    for (unsigned b; in >> std::hex >> b;) v.push_back(static_cast<std::uint8_t>(b));
    return v;
}

class Protocol : public ::testing::Test {
  protected:
    void SetUp() override {
        inizializeBus(0x378);
        port.clear();
    }
    ScriptedPort port;
    UsePort use{port};
};

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

TEST(BitHelpers, ChangeOnlyTheNamedBitAndRefuseBitsAboveSeven) {
    using Op = int (*)(unsigned char*, int);
    const struct {
        Op op;
        int bit, result;
        unsigned char after;  // from 0x1F
    } cases[] = {
        {Set, 7, 0, 0x9F},    {Reset, 0, 0, 0x1E},     {Reset, 5, 0, 0x1F},  {Invert, 5, 0, 0x3F},
        {Invert, 4, 0, 0x0F}, {Set, 8, -1, 0x1F},      {Reset, 8, -1, 0x1F}, {Invert, 8, -1, 0x1F},
        {Set, 31, -1, 0x1F},  {Reset, 1000, -1, 0x1F},
    };
    for (const auto& c : cases) {
        unsigned char b = 0x1F;
        EXPECT_EQ(c.op(&b, c.bit), c.result) << c.bit;
        EXPECT_EQ(b, c.after) << c.bit;
    }
}

TEST_F(Protocol, BindingWritesTheIdlePatternOnceThenPausesAndRestartsTheImage) {
    playCommand(0xFE);
    port.clear();
    port.paused = 0;
    inizializeBus(0x278);
    EXPECT_EQ(port.written, std::vector<std::uint8_t>{0x1F});
    EXPECT_DOUBLE_EQ(port.paused, 0.001);
    EXPECT_EQ(porta, 0x278);
    playCommand(0x8E);  // from 0x1F again, on the new port
    EXPECT_EQ(port.writtenTo, std::vector<std::uint16_t>(17, 0x278));
    EXPECT_EQ(port.written[1], 0x3F);
}

TEST_F(Protocol, EachCommandAndEachChannelsConversionMakeTheListedWrites) {
    // The data line (0x20) taken on 7 rising clock edges (0x80): a start bit 1, then the
    // select code's bits.
    const struct {
        int channel;  // -1: the command byte alone
        std::uint8_t command;
        const char* writes;
    } commands[] = {
        {0, 0x8E, "3F BF 1F 9F 1F 9F 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
        {5, 0xEE, "3F BF 3F BF 3F BF 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
        {7, 0xFE, "3F BF 3F BF 3F BF 3F BF 3F BF 3F BF 3F BF 1F 1F"},
        // Bit 7 clear: the start bit is still 1, or the converter takes the next 1 for it.
        {-1, 0x0E, "3F BF 1F 9F 1F 9F 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
    };
    const auto readOut = bytes("9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F");
    for (const auto& c : commands) {
        port.clear();
        playCommand(c.command);
        EXPECT_EQ(port.written, bytes(c.writes)) << int(c.command);
        if (c.channel < 0) continue;
        port.clear();
        getVolt(static_cast<unsigned char>(c.channel));
        // The command, then two bytes of 9 clock pulses, the status read after each.
        auto expected = bytes(c.writes);
        for (int byte = 0; byte < 2; ++byte)
            expected.insert(expected.end(), readOut.begin(), readOut.end());
        EXPECT_EQ(port.written, expected) << c.channel;
        EXPECT_EQ(port.reads, std::vector<std::uint16_t>(19, 0x379));  // strobe + 18 bits
    }
    port.clear();
    EXPECT_EQ(getVolt(8), -1.0);  // above 7: no port access at all
    EXPECT_EQ(getVolt(255), -1.0);
    EXPECT_TRUE(port.reads.empty() && port.written.empty());
}

TEST_F(Protocol, AStrobeThatNeverRisesTimesOutAfterAThousandPollsAndTheReadOutGoesOn) {
    port.answer = 0x00;  // strobe low, data line all ones (status bit 7 low)
    EXPECT_EQ(getVolt(2), 2.4993896484375);
    EXPECT_EQ(port.reads.size(), 1000u + 18u);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title + ": " + engine::PopupLog()[0].message,
              "Error: Time out error - Program wil be terminated");
    EXPECT_TRUE(engine::QuitRequested());
}

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
