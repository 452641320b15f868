#include <gtest/gtest.h>

#include "engine/fmt.h"
#include "engine/options.h"

TEST(Fmt, JoinsTheSourcesWithTheIntegerInHexadecimal) {
    char title[100];
    const char* head = "ZELMOR on LPT (base address = ";
    for (auto [port, expected] : {std::pair{0x378, "378h)"},
                                  {0x3BC, "3bch)"},
                                  {0x278, "278h)"},
                                  {0xEC00, "ec00h)"},
                                  {0, "0h)"}}) {
        EXPECT_EQ(Fmt(title, "%s<%s%x%s", head, port, "h)"), 3);
        EXPECT_EQ(std::string(title), head + std::string(expected));
    }
    EXPECT_EQ(Fmt(title, "%s<%d and %x%%", -42, -1), 2);
    EXPECT_EQ(std::string(title), "-42 and ffffffff%");
    unsigned short lpt = 0x378;
    EXPECT_EQ(Fmt(title, "%s<%x", lpt), 1);
    EXPECT_EQ(std::string(title), "378");
}

TEST(Fmt, NeverWritesPastItsTargetAndRefusesMismatchedSources) {
    char small[8 + 1];
    small[8] = '\x7F';  // a guard byte the format must not reach
    char(&target)[8] = reinterpret_cast<char(&)[8]>(small);
    EXPECT_EQ(Fmt(target, "%s<%s%x%s", "ZELMOR on LPT", 0x378, "h)"), engine::kFmtTruncated);
    EXPECT_EQ(std::string(target), "ZELMOR ");
    EXPECT_EQ(small[8], '\x7F');

    char t[32] = "old";
    EXPECT_EQ(Fmt(t, "%s<%x", "text"), engine::kFmtBadFormat);
    EXPECT_STREQ(t, "");
    EXPECT_EQ(Fmt(t, "%s<%s%s", "one"), engine::kFmtBadFormat);
    EXPECT_EQ(Fmt(t, "%s<%s", "one", "two"), engine::kFmtBadFormat);
    EXPECT_EQ(Fmt(t, "%d<%s", "x"), engine::kFmtBadFormat);
    EXPECT_EQ(Fmt(t, "%s<%q", 1), engine::kFmtBadFormat);
    EXPECT_EQ(Fmt(t, "%s<tail %", 1), engine::kFmtBadFormat);
}

TEST(EngineOptions, ParsesTheEngineOptionsAndPassesTheRestToTheProgram) {
    engine::EngineOptions o;
    const char* args[] = {"zelmor", "--sim-fault=unpowered", "extra", "--resources=/tmp/r",
                          "--io=simulated"};
    ASSERT_FALSE(engine::ParseEngineOptions(5, args, o));
    EXPECT_EQ(o.fault, engine::SimFault::unpowered);
    EXPECT_EQ(o.resourceDir, "/tmp/r");
    EXPECT_EQ(o.programArgs, (std::vector<std::string>{"zelmor", "extra"}));

    const char* ppdev[] = {"zelmor", "--io=ppdev"};
    ASSERT_FALSE(engine::ParseEngineOptions(2, ppdev, o));
    EXPECT_EQ(o.io, engine::EngineOptions::Io::ppdev);
    const char* faultyHardware[] = {"zelmor", "--io=direct", "--sim-fault=noisy"};
    EXPECT_TRUE(engine::ParseEngineOptions(3, faultyHardware, o));

    for (const char* bad : {"--io=parallel", "--io", "--sim-fault=smoke", "--resources="}) {
        const char* argv[] = {"zelmor", bad};
        auto error = engine::ParseEngineOptions(2, argv, o);
        ASSERT_TRUE(error) << bad;
        EXPECT_NE(error->find(std::string(bad).substr(0, 4)), std::string::npos) << *error;
    }
}
