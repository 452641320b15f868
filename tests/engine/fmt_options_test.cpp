#include <gtest/gtest.h>

#include <vector>

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

TEST(EngineOptions, TakesEachEngineOptionOnceAndRefusesEverythingElse) {
    using engine::SimFault;
    using Io = engine::EngineOptions::Io;
    engine::EngineOptions o;
    const struct {
        std::vector<const char*> args;
        std::string outcome;  // the error, or "accepted"
        Io io = Io::simulated;
        SimFault fault = SimFault::none;
    } cases[] = {
        {{"--sim-fault=strobe-stuck", "--resources=/tmp/r"},
         "accepted",
         Io::simulated,
         SimFault::strobeStuck},
        {{"--io=ppdev"}, "accepted", Io::ppdev},
        {{"--io=direct", "--sim-fault=noisy"},
         "--sim-fault is a fault of the simulated converter; it does not go with --io=ppdev or "
         "--io=direct"},
        {{"--sim-fault=smoke"},
         "--sim-fault takes none, unplugged, unpowered, strobe-stuck or noisy (got \"smoke\")"},
        {{"--io=ppdev", "--io=simulated"}, "--io is given twice"},
        // What is quoted back stays on one line and cannot steer the terminal.
        {{"--io=a\nb\x1b[2J\xff"},
         "--io takes simulated, ppdev or direct (got \"a\\x0ab\\x1b[2J\\xff\")"},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"zelmor"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto error =
            engine::ParseEngineOptions(static_cast<int>(argv.size()), argv.data(), o);
        EXPECT_EQ(error.value_or("accepted"), c.outcome) << c.args[0];
        if (!error) {
            EXPECT_EQ(std::pair(o.io, o.simFault), std::pair(c.io, c.fault)) << c.args[0];
        }
    }
    EXPECT_EQ(engine::Printable("5 \xc2\xb5s \xe2\x80\x94 ok"), "5 \xc2\xb5s \xe2\x80\x94 ok");

    // Misspelt, unknown, empty, Qt's own: none may quietly start the simulator.
    for (const char* bad : {"--io", "-io=ppdev", "--IO=ppdev", "--io-ppdev", "--resource=/tmp",
                            "--resources=", "--sim-fault=", "--sim-fault=Noisy", "extra", "",
                            "-platform", "--help=1"}) {
        const char* argv[] = {"zelmor", bad};
        EXPECT_TRUE(engine::ParseEngineOptions(2, argv, o)) << bad;
    }
    for (const char* fault : {"none ", "unplugged ", "unpowered ", "strobe-stuck ", "noisy "})
        EXPECT_NE(engine::EngineOptionsHelp().find(fault), std::string::npos) << fault;
}
