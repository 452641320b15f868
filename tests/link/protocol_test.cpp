#include <gtest/gtest.h>

#include <sstream>

#include "link/basicIO.h"
#include "scripted_port.h"

namespace {

constexpr std::uint8_t kStrobeHigh = 0x40;
constexpr std::uint8_t kBitOne = 0x00;   // status bit 7 low: the converter sent a 1
constexpr std::uint8_t kBitZero = 0x80;  // status bit 7 high: the converter sent a 0

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
        port.paused = 0;
    }
    ScriptedPort port;
    UsePort use{port};
};

// The data register as the converter sees it for each channel's command: data line (0x20)
// taken on 7 rising clock edges (0x80), a start bit 1 and then the select code's bits.
const struct {
    int channel;  // -1: the command byte alone
    std::uint8_t command;
    const char* writes;
} kCommands[] = {
    {0, 0x8E, "3F BF 1F 9F 1F 9F 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
    {1, 0xCE, "3F BF 3F BF 1F 9F 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
    {2, 0x9E, "3F BF 1F 9F 1F 9F 3F BF 3F BF 3F BF 3F BF 1F 1F"},
    {3, 0xDE, "3F BF 3F BF 1F 9F 3F BF 3F BF 3F BF 3F BF 1F 1F"},
    {4, 0xAE, "3F BF 1F 9F 3F BF 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
    {5, 0xEE, "3F BF 3F BF 3F BF 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
    {6, 0xBE, "3F BF 1F 9F 3F BF 3F BF 3F BF 3F BF 3F BF 1F 1F"},
    {7, 0xFE, "3F BF 3F BF 3F BF 3F BF 3F BF 3F BF 3F BF 1F 1F"},
    // Bit 7 clear: the start bit is still 1, or the converter takes the next 1 for it.
    {-1, 0x0E, "3F BF 1F 9F 1F 9F 1F 9F 3F BF 3F BF 3F BF 1F 1F"},
};

}  // namespace

TEST_F(Protocol, EachCommandAndEachChannelsConversionMakeTheListedWrites) {
    const auto readOut = bytes("9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F 9F 1F");
    for (const auto& c : kCommands) {
        SCOPED_TRACE("command " + std::to_string(c.command));
        port.clear();
        playCommand(c.command);
        EXPECT_EQ(port.written, bytes(c.writes));
        if (c.channel < 0) continue;
        port.clear();
        getVolt(static_cast<unsigned char>(c.channel));
        // The command, then two bytes of 9 clock pulses each, the status read after each.
        auto expected = bytes(c.writes);
        for (int byte = 0; byte < 2; ++byte)
            expected.insert(expected.end(), readOut.begin(), readOut.end());
        EXPECT_EQ(port.written, expected);
        EXPECT_EQ(port.writtenTo, std::vector<std::uint16_t>(52, 0x378));
        EXPECT_EQ(port.reads, std::vector<std::uint16_t>(19, 0x379));  // strobe + 18 bits
    }
    EXPECT_DOUBLE_EQ(port.paused, 0.0);  // no pause anywhere in a conversion
    port.clear();
    EXPECT_EQ(getVolt(8), -1.0);  // above 7: no port access at all
    EXPECT_EQ(getVolt(255), -1.0);
    EXPECT_TRUE(port.reads.empty() && port.written.empty());
}

TEST_F(Protocol, ReadOutDropsTheFirstSampleOfEachByteAndTheLowNibbleOfTheSecond) {
    // First byte: data bits 1,1,0,0,0,0,0,0,0; second byte: all 0 -> code 2048.
    port.script = {kStrobeHigh, kBitOne, kBitOne};
    port.script.insert(port.script.end(), 16, kBitZero);
    EXPECT_DOUBLE_EQ(getVolt(0), 1.25);
    // In the second byte only the samples after pulses 2-5 reach the code.
    port.script = {kStrobeHigh};
    port.script.insert(port.script.end(), 9, kBitZero);
    for (bool b : {true, false, true, false, true, true, true, true, true})
        port.script.push_back(b ? kBitOne : kBitZero);
    EXPECT_DOUBLE_EQ(getVolt(1), 5 * 0.0006103515625);  // 0101 from pulses 2-5
}

TEST_F(Protocol, AStrobeThatNeverRisesTimesOutAfterAThousandPollsAndTheReadOutGoesOn) {
    port.otherwise = kBitOne;  // strobe low, data line all ones
    EXPECT_EQ(getVolt(2), 2.4993896484375);
    EXPECT_EQ(port.reads.size(), 1000u + 18u);
    EXPECT_EQ(port.written.size(), 52u);
    ASSERT_EQ(engine::PopupLog().size(), 1u);
    EXPECT_EQ(engine::PopupLog()[0].title, "Error");
    EXPECT_EQ(engine::PopupLog()[0].message, "Time out error - Program wil be terminated");
    EXPECT_TRUE(engine::QuitRequested());
    // A strobe found high on poll 1000 is still in time.
    port.clear();
    engine::ClearPopupLog();
    port.otherwise = kBitZero;
    port.script.assign(999, kBitZero);
    port.script.push_back(kStrobeHigh);
    getVolt(2);
    EXPECT_EQ(port.reads.size(), 1000u + 18u);
    EXPECT_TRUE(engine::PopupLog().empty());
}
