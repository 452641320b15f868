// The settings file: what is written reads back; a file damaged, of a newer version or in a
// folder that cannot be written gives the defaults, says so once, and is left as it was.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>

#include "engine/panels/settings.h"
#include "support/temp_folder.h"

namespace {

using engine::StoredSettings;

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}
void put(const QString& path, const QByteArray& content) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

TEST(Settings, AFullSetOfSettingsReadsBackAsWritten) {
    TempFolder tmp;
    const QString folder = QString::fromStdString(tmp.path);
    StoredSettings s;
    s.chart = {60, engine::ChartRange::manual, {-0.5, 1e-3}, {{0, 2.5}, {-20, 150}}, {}, true};
    s.chart.hidden = {false, true, false, false, true, false, false, false};
    s.trigger = {2, engine::TriggerEdge::falling, -0.125, 0.25, engine::TriggerMode::normal};
    s.channels[0x378] = {{"Oven", "\u00b0C", 100, -10.5}, {"Supply rail", "V", 2, 0}};
    s.channels[0x278] = {{"P=1;#x [a]", "kPa", -1e-7, 1e11}};
    s.recordingFolder = folder;
    s.look = engine::Look::dark;
    const QString path = folder + "/new/zelmor.conf";  // its folder made on the way
    std::string error;
    ASSERT_TRUE(engine::WriteSettings(path, s, error)) << error;
    const engine::SettingsRead back = engine::ReadSettings(path);
    EXPECT_EQ(back.notice, "");
    EXPECT_TRUE(back.settings == s);
}

TEST(Settings, EachBadValueFallsBackAloneAndTheFileIsSaidToBeDamagedOnce) {
    TempFolder tmp;
    const QByteArray good = "[General]\nversion=1\nlook=light\n";
    const struct {
        const char* lines;
        const char* bad;                                // the value said to be back to its default
        std::function<void(StoredSettings&)> expected;  // from the defaults and the good lines
    } cases[] = {
        {"[chart]\nspan=600.5\nrange=manual\n", "chart/span",
         [](StoredSettings& s) { s.chart.range = engine::ChartRange::manual; }},
        {"[chart]\nspan=nan\nlanes=true\n", "chart/span",
         [](StoredSettings& s) { s.chart.lanes = true; }},
        {"[chart]\nmanual_low=2\nmanual_high=1\n", "chart/manual", nullptr},
        {"[chart]\nrange=sideways\ntraces=4\nhidden=1\n", "chart/range",
         [](StoredSettings& s) {
             s.chart.hidden = {false, true, false, false};
         }},
        {"[chart]\ntraces=4\nhidden=2 4\n", "chart/hidden",
         [](StoredSettings& s) { s.chart.hidden.assign(4, false); }},
        {"[chart]\nlane0_low=0\nlane0_high=1\nlane1_low=3\n", "chart/lane1", nullptr},
        {"[chart]\ntraces=4\n[trigger]\nchannel=4\n", "trigger",
         [](StoredSettings& s) { s.chart.hidden.assign(4, false); }},
        {"[trigger]\nposition=1.5\nmode=single\n", "trigger/position",
         [](StoredSettings& s) { s.trigger.mode = engine::TriggerMode::single; }},
        {"[channels_0x378]\nch0_name=Oven\nch1_gain=0\n", "channels_0x378/ch1",
         [](StoredSettings& s) {
             s.channels[0x378] = {{"Oven", "V", 1, 0}, engine::DefaultChannel(1)};
         }},
        {"[channels_0x378]\nch0_name=\"a,b\"\nch0_unit=\xe2\x80\xae\n", "channels_0x378/ch0",
         [](StoredSettings& s) { s.channels[0x378] = {engine::DefaultChannel(0)}; }},
        {"[channels_0x10000]\nch0_name=x\n", "channels_0x10000", nullptr},
        {"[recording]\nfolder=relative/path\n", "recording/folder", nullptr},
        {"[recording]\nfolder=/no/such/folder\n", "", nullptr},  // removed since: no damage
    };
    int n = 0;
    for (const auto& c : cases) {
        // A file of its own each: the reader remembers a file it has read.
        const QString path = QString::fromStdString(tmp.path) + QString("/%1.conf").arg(++n);
        put(path, good + c.lines);
        StoredSettings expected;
        expected.look = engine::Look::light;
        if (c.expected) c.expected(expected);
        const engine::SettingsRead read = engine::ReadSettings(path);
        EXPECT_TRUE(read.settings == expected) << c.lines;
        EXPECT_EQ(read.notice, *c.bad ? "Settings file \"" + path.toStdString() +
                                            "\" is damaged: " + c.bad + " is back to its default"
                                      : "");
        EXPECT_TRUE(read.writable);
    }
}

TEST(Settings, AFileThatCannotBeUsedGivesTheDefaultsAndOnlyADamagedOneIsWrittenOver) {
    TempFolder tmp;
    const struct {
        QByteArray content;
        const char* notice;  // after the file's name
        bool writtenOver;
    } cases[] = {
        {"\xff\xfe\x01garbage", " is damaged: the defaults are used", true},
        {"[General]\nversion=2\nlook=dark\n",
         " was written by a newer version of zelmor: the defaults are used, and the file is left "
         "as it is",
         false},
    };
    for (const auto& c : cases) {
        const QString path = QString::fromStdString(tmp.path) + "/zelmor.conf";
        QFile::remove(path);
        put(path, c.content);
        engine::PlaceSettings(path.toStdString(), false);
        EXPECT_TRUE(engine::CurrentSettings() == StoredSettings{});
        EXPECT_EQ(engine::TakeSettingsNotice().toStdString(),
                  "Settings file \"" + path.toStdString() + "\"" + c.notice);
        EXPECT_EQ(engine::TakeSettingsNotice(), "");  // said once
        EXPECT_EQ(engine::ChangeSettings([](StoredSettings& s) { s.chart.span = 1; }),
                  c.writtenOver);
        EXPECT_EQ(engine::CurrentSettings().chart.span, 1);  // for this run either way
        EXPECT_EQ(contentOf(path) == c.content, !c.writtenOver);
    }
    engine::PlaceSettings("", false);
}

TEST(Settings, AFolderThatCannotBeWrittenLeavesWhatIsThereAndSaysWhereAndWhy) {
    // A file where the folder should be, and a folder where the file should be: neither can be
    // written whoever runs the test (root passes permission checks, not these).
    TempFolder tmp;
    const QString dir = QString::fromStdString(tmp.path), blocker = dir + "/blocker";
    put(blocker, "kept");
    ASSERT_TRUE(QDir(dir).mkdir("taken"));
    for (const QString& path : {blocker + "/zelmor.conf", dir + "/taken"}) {
        std::string error;
        EXPECT_FALSE(engine::WriteSettings(path, StoredSettings{}, error)) << path.toStdString();
        EXPECT_EQ(error.rfind("Settings could not be saved to \"" + path.toStdString() + "\": ", 0),
                  0u)
            << error;
    }
    EXPECT_EQ(contentOf(blocker), "kept");
    const engine::SettingsRead read = engine::ReadSettings(dir + "/taken");
    EXPECT_FALSE(read.writable);
    EXPECT_NE(read.notice.find("cannot be read: the defaults are used"), std::string::npos)
        << read.notice;
}

}  // namespace
