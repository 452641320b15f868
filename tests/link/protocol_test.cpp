// The link's writes and reads on the wire, against a port that records them.
#include <gtest/gtest.h>

#include <sstream>

#include "link/basicIO.h"
#include "scripted_port.h"

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
