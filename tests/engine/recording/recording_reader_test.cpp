// Files of scans read back: what the recorder wrote comes back scan for scan, and anything
// else is refused at the line where it goes wrong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "engine/chart/recorded_history.h"
#include "engine/recording/recording_lines.h"
#include "engine/recording/scan_recorder.h"
#include "support/temp_folder.h"

TEST(RecordingReader, ReadsBackWhatTheRecorderWroteScanForScanGapsIncluded) {
    TempFolder dir;
    const std::string file = dir.path + "/run.csv";
    engine::ScanRecorder r;
    ASSERT_TRUE(r.open(file, false, 100.0, {{"Zelmor recording", "program zelmor 1.0"}, 3, "V"}));
    const double step = 2.5 / 4096;
    // Scan i: codes i, 4095 - i, 2048 +- (i % 7); a hole before scans 40 and 90.
    auto codes = [](int i) {
        return std::vector<int>{i, 4095 - i, 2048 + (i % 7) * (i % 2 ? 1 : -1)};
    };
    for (int i = 0; i < 130; ++i) {
        if (i == 40) r.comment("gap of 0.250 s after 0.039000 s");
        if (i == 90) r.comment("gap of 1.500 s after 0.339000 s (a popup was open)");
        if (i == 60) r.comment("rate changed to 500 scans/s at 0.310 s");
        std::vector<double> v;
        for (int c : codes(i)) v.push_back(c * step);
        r.append(100.0 + i * 0.001 + (i >= 40) * 0.25 + (i >= 90) * 1.5, v.data());
    }
    ASSERT_TRUE(r.close());
    chmod(file.c_str(), 0444);  // read-only is enough

    RecordedHistory read;
    ASSERT_EQ(LoadRecordedHistory(file, step, read), std::nullopt);
    EXPECT_EQ(read.header.comments,
              (std::vector<std::string>{"Zelmor recording", "program zelmor 1.0"}));
    EXPECT_EQ(read.header.unit, "V");
    EXPECT_TRUE(read.header.channels.empty() && read.notes.empty() && read.triggers.empty());
    ASSERT_EQ(read.history.traces(), 3);
    ASSERT_EQ(read.history.size(), 130);
    for (int i = 0; i < 130; ++i) {
        EXPECT_NEAR(read.history.time(i), i * 0.001 + (i >= 40) * 0.25 + (i >= 90) * 1.5, 1e-9);
        for (int t = 0; t < 3; ++t) EXPECT_EQ(read.history.code(t, i), codes(i)[t]) << i;
        EXPECT_EQ(read.history.before(i), i == 40   ? TraceHistory::Before::gap
                                          : i == 90 ? TraceHistory::Before::gapDuringPopup
                                                    : TraceHistory::Before::scans)
            << i;
    }
    // The comments among the scans, each with the time of the scan before it.
    std::vector<std::pair<std::string, double>> comments;
    engine::RecordingSink sink;
    sink.comment = [&](auto text, auto after) { comments.emplace_back(text, after.value_or(-1)); };
    ASSERT_EQ(engine::ReadRecording(file, sink), std::nullopt);
    EXPECT_EQ(comments, (std::vector<std::pair<std::string, double>>{
                            {"gap of 0.250 s after 0.039000 s", 0.039},
                            {"rate changed to 500 scans/s at 0.310 s", 0.309},
                            {"gap of 1.500 s after 0.339000 s (a popup was open)", 0.339}}));
}

TEST(RecordingReader, RefusesAnythingElseNamingTheLine) {
    const std::string head = "# Zelmor recording\ntime_s,ch0_V,ch1_V\n";
    const std::string cal =
        "# channel 0: name \"a\", unit \"V\", gain 1, offset 0\n"
        "# channel 1: name \"Heat\", unit \"°C\", gain 100, offset -50\n";
    const struct {
        std::string text;
        const char* refusal;
    } files[] = {
        {"", "bad.csv: the file is empty."},
        {"# only a comment\n", "bad.csv: no column line"},
        {"time,ch0\n0,1\n", "line 1: expected the column line"},
        {"time_s,ch0_V,ch2_V\n", "line 1: column 3 is \"ch2_V\", not ch1"},
        {"time_s,ch0_V,ch1_A\n", "line 1: the columns name two units"},
        {"time_s\n", "line 1: the column line names no channel"},
        {head + "0.000000,1.25\n", "line 3: 2 fields where the column line names 3."},
        {head + "0.000000,1.25,1,2\n", "line 3: too many fields"},
        {head + "0.000000,1.25,0.5\n0.001000,x1,0.5\n", "line 4: \"x1\" is not a number"},
        {head + "0.000000,1.25,\n", "line 3: \"\" is not a number"},
        {head + "0.000000,1.25,0.5\r\n", "line 3: \"0.5\\x0d\" is not a number"},
        {head + "nan,1.25,0.5\n", "line 3: the time \"nan\" is no time"},
        {head + "0.5,1,1\n0.2,1,1\n", "line 4: the time \"0.2\" s goes back"},
        {head + "0.5,1,1\n\n", "line 4: \"\" is not a number"},
        {head + "0.5,1,1", "line 3: the last line is cut short"},
        {head + "0.5,1," + std::string(20000, '7') + "\n", "line 3: a line longer than 16384"},
        {"time_s" + std::string(70, ',') + "\n", "line 1: column 2 is \"\""},
        {cal + "time_s,ch0_V,ch1_V,Heat_C\n", "line 3: column 4 is \"Heat_C\", not Heat_°C."},
        {cal + "time_s,ch0_V,ch1_V\n", "line 3: the column line ends before the column Heat_°C."},
        {cal + "time_s,ch0_V,ch1_V,Heat_°C,x\n", "line 3: column 5 is \"x\", past the"},
        {cal + "time_s,ch0_V\n",
         "line 3: the header describes 2 channels, the column line only 1."},
        {cal + "time_s,ch0_V,ch1_V,Heat_°C\n0.5,1,1,y\n", "line 4: \"y\" is not a number"},
        {cal + "time_s,ch0_V,ch1_V,Heat_°C\n0.5,1,1\n", "line 4: 3 fields where the column"},
        {"# channel 1: name \"a\", unit \"\", gain 1, offset 0\n",
         "line 1: channel 1 where channel 0"},
        {"# channel 0: name \"a\", unit \"V\", gain 0, offset 0\n",
         "channel 0 cannot be used: Gain must not be 0."},
        {"# channel 0: name \"a\", gain 1, offset 0\n", "channel 0 does not read name"},
        {"# channel one: name\n", "line 1: expected channel N: name"},
    };
    for (const auto& f : files) {
        const auto refused = engine::ReadRecordingText("bad.csv", f.text, {});
        ASSERT_TRUE(refused) << f.refusal;
        EXPECT_NE(refused->find(f.refusal), std::string::npos) << *refused;
        EXPECT_EQ(refused->rfind("Cannot open bad.csv", 0), 0U) << *refused;
        EXPECT_EQ(refused->find('\n'), std::string::npos) << *refused;
    }
    std::string many = "time_s";
    for (int t = 0; t < 17; ++t) many += ",ch" + std::to_string(t);
    EXPECT_NE(engine::ReadRecordingText("bad.csv", many + "\n", {})->find("more than 16 channels"),
              std::string::npos);
}

TEST(RecordingReader, RefusesWhatIsNoPlainFileWithoutWaitingOnIt) {
    TempFolder dir;
    ASSERT_EQ(mkfifo((dir.path + "/pipe").c_str(), 0600), 0);  // nobody writes to it
    const struct {
        std::string path;
        const char* refusal;
    } cases[] = {
        {dir.path + "/none.csv", "there is no such file."},
        {dir.path, "that is a folder."},
        {dir.path + "/pipe", "it is not a file."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(engine::ReadRecording(c.path, {}), "Cannot open " + c.path + ": " + c.refusal);
}

TEST(RecordingReader, NotesAndTriggerFiringsAreOneLineAndReadBackWithTheirTimes) {
    const std::string x600(600, 'x');
    const struct {
        std::string line;  // as written, or a comment read
        std::optional<double> seconds;
        std::string text;
    } lines[] = {
        {engine::NoteComment(0, "a\nb\tc\x1b[0m\u2028d\xff\xc3"), 0, "a b c [0m d  "},
        {engine::NoteComment(1, x600), 1, std::string(200, 'x')},
        {engine::NoteComment(2, "\xc3\xa9" + x600), 2, "\xc3\xa9" + std::string(199, 'x')},
        {engine::TriggerComment(3.5, "CH1 rising through 1.25 V"), 3.5,
         "CH1 rising through 1.25 V"},
        {"note at 1.5 s:", std::nullopt, ""},
        {"note at nan s: x", std::nullopt, ""},
        {"trigger fired at 1,5 s: x", std::nullopt, ""},
    };
    for (const auto& l : lines) {
        auto read = engine::ParseNoteComment(l.line);
        if (!read) read = engine::ParseTriggerComment(l.line);
        ASSERT_EQ(read.has_value(), l.seconds.has_value()) << l.line;
        if (!read) continue;
        EXPECT_EQ(std::make_pair(read->seconds, read->text), std::make_pair(*l.seconds, l.text));
    }
    EXPECT_EQ(engine::NoteComment(12.3456784, "x"), "note at 12.345678 s: x");
}
