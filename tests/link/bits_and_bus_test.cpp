#include <gtest/gtest.h>

#include "link/basicIO.h"
#include "scripted_port.h"

TEST(BitHelpers, ChangeOneBitAndRefuseBitsAboveSeven) {
    unsigned char b = 0x1F;
    EXPECT_EQ(Set(&b, 7), 0);
    EXPECT_EQ(b, 0x9F);
    EXPECT_EQ(Reset(&b, 0), 0);
    EXPECT_EQ(b, 0x9E);
    EXPECT_EQ(Invert(&b, 5), 0);
    EXPECT_EQ(b, 0xBE);
    EXPECT_EQ(Invert(&b, 5), 0);
    EXPECT_EQ(b, 0x9E);

    for (int bit : {8, 9, 31, 1000}) {
        unsigned char c = 0x5A;
        EXPECT_EQ(Set(&c, bit), -1);
        EXPECT_EQ(Reset(&c, bit), -1);
        EXPECT_EQ(Invert(&c, bit), -1);
        EXPECT_EQ(c, 0x5A) << "bit " << bit;
    }
}

TEST(BitHelpers, IsHighReadsOneBit) {
    EXPECT_EQ(IsHigh(0x80, 7), 1);
    EXPECT_EQ(IsHigh(0x7F, 7), 0);
    EXPECT_EQ(IsHigh(0x40, 6), 1);
    EXPECT_EQ(IsHigh(0xBF, 6), 0);
    EXPECT_EQ(IsHigh(0x180, 7), 1);  // only the named bit counts
}

TEST(PortAccess, InizializeBusWritesTheIdlePatternOnceThenPausesOneMillisecond) {
    ScriptedPort port;
    UsePort use(port);
    inizializeBus(0x378);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].address, 0x378);
    EXPECT_EQ(port.writes[0].value, 0x1F);
    EXPECT_DOUBLE_EQ(port.paused, 0.001);
    EXPECT_TRUE(port.reads.empty());
    EXPECT_EQ(porta, 0x378);

    // Binding anew resets the image: the next command starts from 0x1F on the new port.
    playCommand(0xFE);
    inizializeBus(0x278);
    port.writes.clear();
    playCommand(0x8E);
    EXPECT_EQ(port.writes.front().address, 0x278);
    EXPECT_EQ(port.writes.front().value, 0x3F);
}

TEST(PortAccess, InGivesZeroTo255AndHighAddressesSurviveTheSixteenBitHandOver) {
    ScriptedPort port;
    UsePort use(port);
    for (int b = 0; b < 256; ++b) port.script.push_back(static_cast<std::uint8_t>(b));
    for (int b = 0; b < 256; ++b) ASSERT_EQ(in(0x379), b);

    out(0xEC00, 0x55);  // a card above 0x7FFF
    (void)in(0xEC01);
    EXPECT_EQ(port.writes.back().address, 0xEC00);
    EXPECT_EQ(port.reads.back(), 0xEC01);
}
