#include <gtest/gtest.h>

#include "link/basicIO.h"
#include "scripted_port.h"

TEST(BitHelpers, ChangeOnlyTheNamedBitAndRefuseBitsAboveSeven) {
    using Op = int (*)(unsigned char*, int);
    const struct {
        Op op;
        int bit, result;
        unsigned char after;  // starting from 0x1F each time
    } cases[] = {
        {Set, 7, 0, 0x9F},     {Set, 6, 0, 0x5F},    {Reset, 0, 0, 0x1E},     {Reset, 5, 0, 0x1F},
        {Invert, 5, 0, 0x3F},  {Invert, 4, 0, 0x0F}, {Set, 8, -1, 0x1F},      {Reset, 8, -1, 0x1F},
        {Invert, 8, -1, 0x1F}, {Set, 31, -1, 0x1F},  {Reset, 1000, -1, 0x1F},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("bit " + std::to_string(c.bit));
        unsigned char b = 0x1F;
        EXPECT_EQ(c.op(&b, c.bit), c.result);
        EXPECT_EQ(b, c.after);
    }
}

TEST(PortAccess, BindingWritesTheIdlePatternOncePausesAndRestartsTheImage) {
    ScriptedPort port;
    UsePort use(port);
    inizializeBus(0x378);
    EXPECT_EQ(port.writtenTo, std::vector<std::uint16_t>{0x378});
    EXPECT_EQ(port.written, std::vector<std::uint8_t>{0x1F});
    EXPECT_DOUBLE_EQ(port.paused, 0.001);
    EXPECT_TRUE(port.reads.empty());
    EXPECT_EQ(porta, 0x378);
    // Binding anew resets the image: the next command starts from 0x1F on the new port.
    playCommand(0xFE);
    inizializeBus(0x278);
    port.clear();
    playCommand(0x8E);
    EXPECT_EQ(port.writtenTo.front(), 0x278);
    EXPECT_EQ(port.written.front(), 0x3F);
}

TEST(PortAccess, InGivesZeroTo255AndHighAddressesSurviveTheSixteenBitHandOver) {
    ScriptedPort port;
    UsePort use(port);
    for (int b = 0; b < 256; ++b) port.script.push_back(static_cast<std::uint8_t>(b));
    for (int b = 0; b < 256; ++b) ASSERT_EQ(in(0x379), b);
    out(0xEC00, 0x55);  // a card above 0x7FFF
    (void)in(0xEC01);
    EXPECT_EQ(port.writtenTo.back(), 0xEC00);
    EXPECT_EQ(port.reads.back(), 0xEC01);
}
