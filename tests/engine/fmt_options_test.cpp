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

TEST(Printable, EscapesEveryByteThatCouldSteerATerminalOrSplitTheLine) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        // Printable ASCII and well-formed UTF-8, from the smallest to the largest of each length.
        {"LPT1 0x378 \\ \"q\"", "LPT1 0x378 \\ \"q\""},
        {"\xc2\xa0\xc2\xb5s \xdf\xbf \xe0\xa0\x80 \xe2\x80\x94 \xed\x9f\xbf \xee\x80\x80",
         "\xc2\xa0\xc2\xb5s \xdf\xbf \xe0\xa0\x80 \xe2\x80\x94 \xed\x9f\xbf \xee\x80\x80"},
        {"\xf0\x90\x80\x80 \xf4\x8f\xbf\xbf", "\xf0\x90\x80\x80 \xf4\x8f\xbf\xbf"},
        // C0 and DEL.
        {"a\nb\rc\td\x1b[2J\x7f\x01", "a\\x0ab\\x0dc\\x09d\\x1b[2J\\x7f\\x01"},
        // C1: the terminal's control sequence introducer, next line; the separators; overrides.
        {"\xc2\x9b"
         "2J\xc2\x85\xc2\x80\xc2\x9f",
         "\\xc2\\x9b2J\\xc2\\x85\\xc2\\x80\\xc2\\x9f"},
        {"a\xe2\x80\xa8"
         "b\xe2\x80\xa9",
         "a\\xe2\\x80\\xa8b\\xe2\\x80\\xa9"},
        {"\xe2\x80\xae"
         "exe.txt\xe2\x81\xa6",
         "\\xe2\\x80\\xaeexe.txt\\xe2\\x81\\xa6"},
        // Overlong forms, surrogates, above U+10FFFF, bytes that never start a character.
        {"\xc0\xaf\xc1\xbf", "\\xc0\\xaf\\xc1\\xbf"},
        {"\xe0\x80\xaf", "\\xe0\\x80\\xaf"},
        {"\xf0\x80\x80\xaf", "\\xf0\\x80\\x80\\xaf"},
        {"\xed\xa0\x80\xed\xbf\xbf", "\\xed\\xa0\\x80\\xed\\xbf\\xbf"},
        {"\xf4\x90\x80\x80\xf5\x80\x80\x80", "\\xf4\\x90\\x80\\x80\\xf5\\x80\\x80\\x80"},
        {"\x80\xbf\xfe\xff", "\\x80\\xbf\\xfe\\xff"},
        // A cut sequence gives up its own bytes only, whatever follows it.
        {"\xe2\x82"
         "A\xe2\x82\xac",
         "\\xe2\\x82A\xe2\x82\xac"},
        {"\xf0\x9f\x98", "\\xf0\\x9f\\x98"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(engine::Printable(c.in), c.out) << c.out;
        EXPECT_EQ(engine::Printable(c.out), c.out) << "escaped twice: " << c.out;
    }
    EXPECT_EQ(engine::Printable(std::string("a\0b", 3)), "a\\x00b");
}

TEST(EngineOptions, TakesEachEngineOptionOnceAndHandsTheRestToTheProgram) {
    using engine::SimFault;
    using Io = engine::EngineOptions::Io;
    using Words = std::vector<std::string>;
    engine::EngineOptions o;
    const struct {
        std::vector<const char*> args;
        std::string outcome;  // the error, or "accepted"
        Io io = Io::simulated;
        SimFault fault = SimFault::none;
        Words program = {};
    } cases[] = {
        {{"--sim-fault=strobe-stuck", "--resources=/tmp/r"},
         "accepted",
         Io::simulated,
         SimFault::strobeStuck},
        {{"foo", "--io=ppdev", "", "bar"},
         "accepted",
         Io::ppdev,
         SimFault::none,
         {"foo", "", "bar"}},
        {{"--io=direct", "--sim-fault=noisy"},
         "--sim-fault is a fault of the simulated converter; it does not go with --io=ppdev or "
         "--io=direct"},
        {{"--sim-fault=smoke"},
         "--sim-fault takes none, unplugged, unpowered, strobe-stuck or noisy (got \"smoke\")"},
        {{"--io=ppdev", "--io=simulated"}, "--io is given twice"},
        // What is quoted back stays on one line and cannot steer the terminal.
        {{"--io=a\nb\x1b[2J\xff"},
         "--io takes simulated, ppdev or direct (got \"a\\x0ab\\x1b[2J\\xff\")"},
        {{"word",
          "--io=\xc2\x9b"
          "2J\xe2\x80\xa8"},
         "--io takes simulated, ppdev or direct (got \"\\xc2\\x9b2J\\xe2\\x80\\xa8\")"},
        {{"-\xc2\x85"}, "unknown option \"-\\xc2\\x85\""},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv = {"zelmor"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto error =
            engine::ParseEngineOptions(static_cast<int>(argv.size()), argv.data(), o);
        EXPECT_EQ(error.value_or("accepted"), c.outcome) << c.args[0];
        if (!error) {
            EXPECT_EQ(std::pair(o.io, o.simFault), std::pair(c.io, c.fault)) << c.args[0];
            EXPECT_EQ(o.programArguments, c.program) << c.args[0];
        }
    }

    // Misspelt, unknown, empty, Qt's own: none may quietly start the simulator, even after a
    // word of the program's.
    for (const char* bad : {"--io", "-io=ppdev", "--IO=ppdev", "--io-ppdev", "--resource=/tmp",
                            "--resources=", "--sim-fault=", "--sim-fault=Noisy", "-", "--",
                            "-platform", "--help=1"}) {
        const char* argv[] = {"zelmor", "word", bad};
        EXPECT_TRUE(engine::ParseEngineOptions(3, argv, o)) << bad;
    }
    for (const char* fault : {"none ", "unplugged ", "unpowered ", "strobe-stuck ", "noisy "})
        EXPECT_NE(engine::EngineOptionsHelp().find(fault), std::string::npos) << fault;
}
