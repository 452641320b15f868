#include <gtest/gtest.h>

#include "engine/fmt.h"
#include "engine/options.h"
#include "engine/ports/simulated_converter.h"

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

TEST(EngineOptions, TakesEachEngineOptionOnceAndRefusesEverythingElse) {
    engine::EngineOptions o;
    const char* args[] = {"zelmor", "--sim-fault=unpowered", "--resources=/tmp/r",
                          "--io=simulated"};
    ASSERT_FALSE(engine::ParseEngineOptions(4, args, o));
    EXPECT_EQ(o.simFault, "unpowered");
    EXPECT_EQ(o.resourceDir, "/tmp/r");

    const char* ppdev[] = {"zelmor", "--io=ppdev"};
    ASSERT_FALSE(engine::ParseEngineOptions(2, ppdev, o));
    EXPECT_EQ(o.io, engine::EngineOptions::Io::ppdev);
    const char* faultyHardware[] = {"zelmor", "--io=direct", "--sim-fault=noisy"};
    EXPECT_TRUE(engine::ParseEngineOptions(3, faultyHardware, o));

    // Misspelt, unknown, empty, Qt's own, and repeated: none may quietly start the simulator.
    for (const char* bad :
         {"--io=parallel", "--io", "-io=ppdev", "--IO=ppdev", "--io-ppdev", "--resource=/tmp",
          "--resources=", "extra", "", "-platform", "-stylesheet=/dev/zero", "--help=1"}) {
        const char* argv[] = {"zelmor", bad};
        ASSERT_TRUE(engine::ParseEngineOptions(2, argv, o)) << bad;
    }
    // The simulated converter reads its own fault.
    EXPECT_EQ(engine::ParseSimFault("strobe-stuck"), engine::SimFault::strobeStuck);
    EXPECT_EQ(engine::ParseSimFault(""), engine::SimFault::none);
    EXPECT_FALSE(engine::ParseSimFault("smoke"));

    const char* twice[] = {"zelmor", "--io=ppdev", "--io=simulated"};
    auto error = engine::ParseEngineOptions(3, twice, o);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "--io is given twice");

    // What is quoted back stays on one line and cannot steer the terminal.
    const char* hostile[] = {"zelmor", "--io=a\nb\x1b[2J\xff"};
    error = engine::ParseEngineOptions(2, hostile, o);
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, "--io takes simulated, ppdev or direct (got \"a\\x0ab\\x1b[2J\\xff\")");
    EXPECT_EQ(engine::Printable("5 \xc2\xb5s \xe2\x80\x94 ok"), "5 \xc2\xb5s \xe2\x80\x94 ok");
}
