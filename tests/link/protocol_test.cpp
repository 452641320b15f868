#include <gtest/gtest.h>

#include "link/basicIO.h"
#include "scripted_port.h"

namespace {

constexpr std::uint8_t kStrobeHigh = 0x40;
constexpr std::uint8_t kBitOne = 0x00;   // status bit 7 low: the converter sent a 1
constexpr std::uint8_t kBitZero = 0x80;  // status bit 7 high: the converter sent a 0

// The writes a command must make, built from the wire's point of view: the converter takes
// the data line on 7 rising clock edges (a start bit 1, then command bits 6..1); each falling
// edge goes out together with the next data bit; the last write drops clock and data.
std::vector<std::uint8_t> commandOnTheWire(std::uint8_t cmd) {
    auto lines = [](bool clock, bool data) {
        return static_cast<std::uint8_t>(0x1F | (data ? 0x20 : 0) | (clock ? 0x80 : 0));
    };
    std::vector<std::uint8_t> w{lines(false, true)};
    bool taken[7] = {true};
    for (int i = 1; i < 7; ++i) taken[i] = (cmd >> (7 - i)) & 1;
    for (int edge = 0; edge < 7; ++edge) {
        w.push_back(lines(true, taken[edge]));
        bool next = edge < 6 ? taken[edge + 1] : (cmd & 1);
        w.push_back(lines(false, next));
    }
    w.push_back(lines(false, false));
    return w;
}

class Protocol : public ::testing::Test {
  protected:
    void SetUp() override {
        inizializeBus(0x378);
        port.writes.clear();
        port.paused = 0;
    }
    ScriptedPort port;
    UsePort use{port};
};

}  // namespace

TEST_F(Protocol, ChannelZeroAndSevenMakeTheListedWrites) {
    using Bytes = std::vector<std::uint8_t>;
    playCommand(0x8E);
    EXPECT_EQ(port.writtenValues(), (Bytes{0x3F, 0xBF, 0x1F, 0x9F, 0x1F, 0x9F, 0x1F, 0x9F, 0x3F,
                                           0xBF, 0x3F, 0xBF, 0x3F, 0xBF, 0x1F, 0x1F}));
    port.writes.clear();
    playCommand(0xFE);
    EXPECT_EQ(port.writtenValues(), (Bytes{0x3F, 0xBF, 0x3F, 0xBF, 0x3F, 0xBF, 0x3F, 0xBF, 0x3F,
                                           0xBF, 0x3F, 0xBF, 0x3F, 0xBF, 0x1F, 0x1F}));
}

TEST_F(Protocol, EveryChannelSendsItsSelectCodeAndAConversionHasItsExactCounts) {
    const std::uint8_t commands[8] = {0x8E, 0xCE, 0x9E, 0xDE, 0xAE, 0xEE, 0xBE, 0xFE};
    for (unsigned char ch = 0; ch < 8; ++ch) {
        port.writes.clear();
        port.reads.clear();
        getVolt(ch);
        ASSERT_EQ(port.writes.size(), 52u) << "channel " << int(ch);
        ASSERT_EQ(port.reads.size(), 19u) << "channel " << int(ch);
        std::vector<std::uint8_t> command(16);
        for (int i = 0; i < 16; ++i) command[i] = port.writes[i].value;
        EXPECT_EQ(command, commandOnTheWire(commands[ch])) << "channel " << int(ch);
        // Read-out: 18 clock pulses from the idle pattern, ending idle.
        for (int i = 16; i < 52; i += 2) {
            EXPECT_EQ(port.writes[i].value, 0x9F);
            EXPECT_EQ(port.writes[i + 1].value, 0x1F);
        }
        for (auto& w : port.writes) EXPECT_EQ(w.address, 0x378);
        for (auto r : port.reads) EXPECT_EQ(r, 0x379);
    }
    EXPECT_DOUBLE_EQ(port.paused, 0.0);  // no pause anywhere in a conversion
}

TEST_F(Protocol, ChannelsAboveSevenGiveMinusOneWithoutTouchingThePort) {
    EXPECT_EQ(getVolt(8), -1.0);
    EXPECT_EQ(getVolt(255), -1.0);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(port.reads.empty());
}

TEST_F(Protocol, ReadOutDropsTheFirstSampleOfEachByteAndTheLowNibbleOfTheSecond) {
    // First byte: data bits 0,1,0,0,0,0,0,0,0; second byte: all 0 -> code 2048.
    port.script = {kStrobeHigh, kBitZero, kBitOne};
    for (int i = 0; i < 7 + 9; ++i) port.script.push_back(kBitZero);
    EXPECT_DOUBLE_EQ(getVolt(0), 1.25);

    // The first sample never reaches the result.
    port.script = {kBitOne};
    for (int i = 0; i < 8; ++i) port.script.push_back(kBitZero);
    EXPECT_EQ(getByte(), 0);

    // In the second byte only the samples after pulses 2-5 reach the code.
    port.script = {kStrobeHigh};
    for (int i = 0; i < 9; ++i) port.script.push_back(kBitZero);
    const bool second[9] = {true, false, true, false, true, true, true, true, true};
    for (bool b : second) port.script.push_back(b ? kBitOne : kBitZero);
    EXPECT_DOUBLE_EQ(getVolt(1), 5 * 0.0006103515625);  // 0101 from pulses 2-5
}

TEST_F(Protocol, TheStartBitIsOneEvenWhenTheCommandsTopBitIsZero) {
    // A command with bit 7 clear: the converter still needs a start bit of 1 on the first
    // rising edge, or it takes the next 1 for the start and shifts the command off by one.
    playCommand(0x0E);
    ASSERT_EQ(port.writtenValues(), commandOnTheWire(0x0E));
    EXPECT_EQ(port.writtenValues()[0], 0x3F);  // data line high before the first clock
    EXPECT_EQ(port.writtenValues()[1], 0xBF);  // and still high as the clock rises
}

TEST_F(Protocol, AStrobeThatNeverRisesTimesOutAfterAThousandPollsAndTheReadOutGoesOn) {
    port.otherwise = kBitOne;  // strobe low, data line all ones
    double v = getVolt(2);
    EXPECT_EQ(port.reads.size(), 1000u + 18u);
    EXPECT_EQ(port.writes.size(), 52u);
    EXPECT_EQ(v, 2.4993896484375);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Error");
    EXPECT_EQ(engine::PopupLog()[0].message, "Time out error - Program wil be terminated");
    EXPECT_TRUE(engine::QuitRequested());

    // A strobe found high on poll 1000 is still in time.
    port.reads.clear();
    engine::ClearPopupLog();
    port.otherwise = kBitZero;
    port.script.assign(999, kBitZero);
    port.script.push_back(kStrobeHigh);
    getVolt(2);
    EXPECT_EQ(port.reads.size(), 1000u + 18u);
    EXPECT_TRUE(engine::PopupLog().empty());
}
