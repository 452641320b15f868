// Broken and hostile panel resources, made from the good one: each is refused at once, with
// one line naming the file and the fault, and nothing that hangs, exhausts memory or leaves a
// panel loaded without the control it was meant to have.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <fstream>

#include "panel_text.h"
#include "recording_callbacks.h"

namespace {

const char* kSelectorId = R"(<widget class="QComboBox" name="selector">
      <property name="controlId" stdset="0">
       <number>2</number>
      </property>)";
const char* kTimerId = R"(<widget class="TimerControl" name="timer">
      <property name="controlId" stdset="0">
       <number>9</number>
      </property>)";
const char* kChartTraces = R"(<property name="traceCount">
       <number>3</number>
      </property>)";

std::string withChartProperty(const std::string& name, const std::string& value) {
    return Replaced(
        GoodPanel(), kChartTraces,
        std::string(kChartTraces) + "<property name=\"" + name + "\">" + value + "</property>");
}

}  // namespace

TEST_F(EngineTest, HostileResourcesAreRefusedAtOnceWithOneLine) {
    const std::string good = GoodPanel();
    std::string deep = "<widget class=\"QWidget\" name=\"central\">";
    for (int i = 0; i < 20000; ++i) deep += "<widget class=\"QWidget\" name=\"w\">";
    for (int i = 0; i < 20000; ++i) deep += "</widget>";
    const struct {
        const char* name;
        std::string text;
        const char* fault;
    } cases[] = {
        {"unknown_class.uir",
         Replaced(good, R"(class="QComboBox" name="selector")",
                  R"(class="NoSuchWidget" name="selector")"),
         "NoSuchWidget"},
        {"selector_without_id.uir",
         Replaced(good, kSelectorId, R"(<widget class="QComboBox" name="selector">)"),
         "selector (QComboBox) has no ID"},
        {"timer_without_id.uir",
         Replaced(good, kTimerId, R"(<widget class="TimerControl" name="timer">)"),
         "timer (TimerControl) has no ID"},
        {"double_id.uir", Replaced(good, "<number>2</number>", "<double>2.4</double>"),
         "whole number"},
        {"bool_id.uir", Replaced(good, "<number>2</number>", "<bool>true</bool>"), "whole number"},
        {"empty_callback.uir", Replaced(good, "<string>CtrlCb</string>", "<string></string>"),
         "callback must name a function"},
        {"nan_range.uir", withChartProperty("yMinimum", "<double>nan</double>"), "finite"},
        {"upside_down_range.uir", withChartProperty("yMinimum", "<double>3</double>"), "below"},
        {"many_traces.uir",
         Replaced(good, kChartTraces, Replaced(kChartTraces, "<number>3<", "<number>64<")),
         "traceCount"},
        {"long_history.uir",
         Replaced(good, "<property name=\"history\">\n       <number>5<",
                  "<property name=\"history\">\n       <number>2000000<"),
         "history"},
        {"zero_interval.uir",
         Replaced(good, "<double>0.010000000000000</double>", "<double>0</double>"), "interval"},
        {"deep.uir", Replaced(good, R"(<widget class="QWidget" name="central">)", deep),
         "nested more than"},
        {"image.uir",
         Replaced(
             good, R"(<widget class="QWidget" name="central">)",
             R"(<widget class="QWidget" name="central"><widget class="QLabel" name="pic"><property name="pixmap"><pixmap>/dev/zero</pixmap></property></widget>)"),
         "another file"},
        {"style_url.uir",
         Replaced(
             good, R"(<property name="windowTitle">)",
             R"(<property name="styleSheet"><string>* { background: url(/dev/zero) }</string></property><property name="windowTitle">)"),
         "another file"},
        {"dialog.uir", Replaced(good, R"(class="QMainWindow")", R"(class="QDialog")"), ""},
        {"huge.uir", good + std::string(5 << 20, ' '), "more than a panel resource can be"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        std::ofstream(dir.filePath(c.name).toStdString(), std::ios::binary) << c.text;
    }
    ASSERT_EQ(mkfifo(dir.filePath("fifo.uir").toLocal8Bit().constData(), 0600), 0);
    QDir(dir.path()).mkdir("folder.uir");
    QFile::link("/dev/zero", dir.filePath("zero.uir"));

    engine::SetResourceFolder(dir.path().toStdString());
    std::vector<std::pair<std::string, std::string>> all;
    for (const auto& c : cases) all.push_back({c.name, c.fault});
    all.push_back({"fifo.uir", "not a regular file"});
    all.push_back({"folder.uir", "not a regular file"});
    all.push_back({"zero.uir", "not a regular file"});
    for (const auto& [name, fault] : all) {
        QElapsedTimer clock;
        clock.start();
        ::testing::internal::CaptureStderr();
        const int h = LoadPanel(0, name.c_str(), 1);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_LT(h, 0) << name;
        EXPECT_LT(clock.elapsed(), 1000) << name;
        EXPECT_NE(err.find(name), std::string::npos) << err;
        EXPECT_NE(err.find(fault), std::string::npos) << name << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    QFile::remove(dir.filePath("zero.uir"));
    QFile::remove(dir.filePath("fifo.uir"));
}

TEST_F(EngineTest, AFolderInAnyEncodingWorksAndNamesAreQuotedSafely) {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString() + "/latin1-\xe9\xff";
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    std::ofstream(folder + "/good.uir", std::ios::binary) << GoodPanel();
    engine::SetResourceFolder(folder);
    EXPECT_GE(LoadPanel(0, "good.uir", 1), 1);

    ::testing::internal::CaptureStderr();
    EXPECT_LT(LoadPanel(0, "evil\n\x1b[2Jname.uir", 1), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("latin1-\\xe9\\xff/evil\\x0a\\x1b[2Jname.uir"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    ::unlink((folder + "/good.uir").c_str());
    ::rmdir(folder.c_str());
}

TEST_F(EngineTest, AScanOfTheWrongWidthIsRefusedAndSaidOnce) {
    const int h = loadQuiet();  // its chart has 3 traces
    const double scan[8] = {};
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 8, 0, 0, VAL_DOUBLE), engine::kBadValue);
    EXPECT_EQ(PlotStripChart(h, kChart, scan, 8, 0, 0, VAL_DOUBLE), engine::kBadValue);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("3 traces"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}
