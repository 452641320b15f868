#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/fmt.h"
#include "engine/options.h"

using engine::kFmtBadFormat;

TEST(Fmt, JoinsTheSourcesWithTheIntegerInHexadecimal) {
    char title[100];
    for (auto [port, expected] :
         {std::pair{0x3BC, "LPT (3bch)"}, {0xEC00, "LPT (ec00h)"}, {0, "LPT (0h)"}}) {
        EXPECT_EQ(Fmt(title, "%s<%s%x%s", "LPT (", port, "h)"), 3);
        EXPECT_STREQ(title, expected);
    }
    EXPECT_EQ(Fmt(title, "%s<%d and %x%%", -42, -1), 2);
    EXPECT_STREQ(title, "-42 and ffffffff%");
    EXPECT_EQ(Fmt(title, "%s<%x", static_cast<short>(-2)), 1);
    EXPECT_STREQ(title, "fffe");
}

TEST(Fmt, NeverWritesPastItsTargetAndRefusesMismatchedSources) {
    char bytes[8 + 1];
    bytes[8] = '\x7F';  // a guard byte the format must not reach
    char(&target)[8] = reinterpret_cast<char(&)[8]>(bytes);
    // Eight characters: one too many with the terminating zero.
    EXPECT_EQ(Fmt(target, "%s<%s%x", "LPT ", 0x3780), engine::kFmtTruncated);
    EXPECT_STREQ(target, "LPT 378");
    EXPECT_EQ(bytes[8], '\x7F');

    char t[32] = "old";
    EXPECT_EQ(Fmt(t, "%s<%x", "text"), kFmtBadFormat);
    EXPECT_STREQ(t, "");
    // An integer for %s, a source too few or too many, a target that is not %s, no such %.
    for (const char* format : {"%s<%s", "%s<%d%d", "%s<", "%d<%d", "%s<%q", "%s<tail %"})
        EXPECT_EQ(Fmt(t, format, 1), kFmtBadFormat) << format;
}

TEST(Printable, EscapesEveryByteThatCouldSteerATerminalOrSplitTheLine) {
    const struct {
        const char* in;
        const char* out;  // nullptr: kept as it stands
    } cases[] = {
        // Printable ASCII and well-formed UTF-8, the smallest and the largest of each length.
        {"LPT1 \\ \"q\" \xc2\xa0\xdf\xbf \xe0\xa0\x80 \xed\x9f\xbf \xee\x80\x80 \xf0\x90\x80\x80 "
         "\xf4\x8f\xbf\xbf",
         nullptr},
        {"a\nb\rc\td\x1b[2J\x7f\x01", "a\\x0ab\\x0dc\\x09d\\x1b[2J\\x7f\\x01"},
        // C1 (the control sequence introducer, next line), the separators, the overrides.
        {"\xc2\x9b"
         "2J\xc2\x85\xc2\x80\xc2\x9f\xe2\x80\xa8\xe2\x80\xa9\xe2\x80\xae\xe2\x81\xa6",
         "\\xc2\\x9b2J\\xc2\\x85\\xc2\\x80\\xc2\\x9f\\xe2\\x80\\xa8\\xe2\\x80\\xa9\\xe2\\x80\\xae"
         "\\xe2\\x81\\xa6"},
        // Overlong forms, surrogates, above U+10FFFF, bytes that never start a character.
        {"\xc0\xaf\xe0\x80\xaf\xf0\x80\x80\xaf\xed\xa0\x80",
         "\\xc0\\xaf\\xe0\\x80\\xaf\\xf0\\x80\\x80\\xaf\\xed\\xa0\\x80"},
        {"\xf4\x90\x80\x80\xf5\x80\xfe\xff", "\\xf4\\x90\\x80\\x80\\xf5\\x80\\xfe\\xff"},
        // A cut sequence gives up its own bytes only, whatever follows it.
        {"\xe2\x82"
         "A\xe2\x82\xac\xf0\x9f\x98",
         "\\xe2\\x82A\xe2\x82\xac\\xf0\\x9f\\x98"},
    };
    for (const auto& c : cases) {
        const char* out = c.out ? c.out : c.in;
        EXPECT_EQ(engine::Printable(c.in), out) << out;
        EXPECT_EQ(engine::Printable(out), out) << "escaped twice: " << out;
    }
    EXPECT_EQ(engine::Printable(std::string("a\0b", 3)), "a\\x00b");
}

TEST(EngineOptions, TakesEachEngineOptionOnceAndHandsTheRestToTheProgram) {
    using engine::SimFault;
    using Io = engine::EngineOptions::Io;
    engine::EngineOptions o;
    const char* ppdev[] = {"zelmor", "foo", "--io=ppdev", "", "bar"};
    ASSERT_FALSE(engine::ParseEngineOptions(5, ppdev, o));
    EXPECT_EQ(std::pair(o.io, o.simFault), std::pair(Io::ppdev, SimFault::none));
    EXPECT_EQ(o.programArguments, (std::vector<std::string>{"foo", "", "bar"}));
    const char* stuck[] = {"zelmor", "--sim-fault=strobe-stuck", "--resources=/tmp/r",
                           "--settings=/tmp/no such.conf"};
    ASSERT_FALSE(engine::ParseEngineOptions(4, stuck, o));
    EXPECT_EQ(std::pair(o.io, o.simFault), std::pair(Io::simulated, SimFault::strobeStuck));
    EXPECT_EQ(std::pair(o.settingsFile, o.noSettings),
              std::pair(std::string("/tmp/no such.conf"), false));
    EXPECT_TRUE(o.programArguments.empty());
    const char* run[] = {"zelmor",           "--seconds=0.001", "--overwrite",
                         "--record=a b.csv", "--rate=1000000",  "--port=LPT3"};
    ASSERT_FALSE(engine::ParseEngineOptions(6, run, o));
    EXPECT_EQ(std::tuple(o.port, o.rate, o.recordFile, o.overwrite, o.seconds),
              std::tuple(3, 1000000, std::string("a b.csv"), true, 0.001));

    const std::pair<std::vector<const char*>, std::string> refusals[] = {
        {{"--io=direct", "--sim-fault=noisy"},
         "--sim-fault is a fault of the simulated converter; it does not go with --io=ppdev or "
         "--io=direct"},
        {{"--sim-fault=smoke"},
         "--sim-fault takes none, unplugged, unpowered, strobe-stuck or noisy (got \"smoke\")"},
        {{"--io=ppdev", "--io=simulated"}, "--io is given twice"},
        // What is quoted back stays on one line and cannot steer the terminal.
        {{"--io=a\nb\x1b[2J\xff"},
         "--io takes simulated, ppdev or direct (got \"a\\x0ab\\x1b[2J\\xff\")"},
        {{"-\xc2\x85"}, "unknown option \"-\\xc2\\x85\""},
        {{"--port=lpt1"}, "--port takes LPT1, LPT2 or LPT3 (got \"lpt1\")"},
        {{"--port=LPT1", "--rate=0"},
         "--rate takes a whole number of scans per second, 1 to 1000000 (got \"0\")"},
        {{"--port=LPT1", "--seconds=1e3"},
         "--seconds takes a number of seconds, 0.001 to 1000000 (got \"1e3\")"},
        {{"--port=LPT1", "--overwrite"},
         "--overwrite is for the file of --record; give --record=FILE too"},
        {{"--record=x.csv"}, "--record acts once a port is chosen; give --port=LPTn too"},
        {{"--port=LPT1", "--port=LPT2"}, "--port is given twice"},
        {{"--settings=/tmp"}, "--settings needs a file, not a folder (got \"/tmp\")"},
        {{"--no-settings", "--settings=a.conf"},
         "--no-settings uses no settings file; it does not go with --settings"},
        {{"--no-settings", "--no-settings"}, "--no-settings is given twice"},
        {{"--open=run.csv", "--port=LPT1"},
         "--open shows a file in place of the program; it does not go with --port, --rate, "
         "--record or --seconds"},
    };
    for (const auto& [args, error] : refusals) {
        std::vector<const char*> argv = {"zelmor"};
        argv.insert(argv.end(), args.begin(), args.end());
        const auto said = engine::ParseEngineOptions(static_cast<int>(argv.size()), argv.data(), o);
        EXPECT_EQ(said.value_or("accepted"), error);
    }

    // Misspelt, unknown, empty, Qt's own: none may quietly start the simulator, even after a
    // word of the program's.
    const char* const misspelt[] = {"--io",         "-io=ppdev",         "--IO=ppdev",
                                    "--io-ppdev",   "--resource=/tmp",   "--resources=",
                                    "--sim-fault=", "--sim-fault=Noisy", "-",
                                    "--",           "-platform",         "--help=1",
                                    "--port",       "--Port=LPT1",       "--overwrite=yes",
                                    "--seconds=5",  "--rate=5",          "--port=LPT4",
                                    "--settings=",  "--settings",        "--no-settings=1"};
    for (const char* bad : misspelt) {
        const char* argv[] = {"zelmor", "word", bad};
        EXPECT_TRUE(engine::ParseEngineOptions(3, argv, o)) << bad;
    }
    const char* const outOfBounds[] = {"--rate=1000001", "--rate=-5",        "--rate=+5",
                                       "--rate= 5",      "--seconds=0.0009", "--seconds=1000000.1",
                                       "--seconds=-1",   "--seconds=1,5",    "--seconds=inf",
                                       "--seconds=.",    "--seconds=1.2.3",  "--record="};
    for (const char* bad : outOfBounds) {
        const char* argv[] = {"zelmor", "--port=LPT1", bad};
        EXPECT_TRUE(engine::ParseEngineOptions(3, argv, o)) << bad;
    }
}
