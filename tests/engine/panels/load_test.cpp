// Broken and hostile resources made from the good one: each refused at once, with one line
// naming the file and the fault, and nothing that hangs or exhausts memory.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <fstream>
#include <iterator>

#include "recording_callbacks.h"

using namespace engine::testing;

static std::string GoodPanel() {
    std::ifstream in(ZELMOR_TEST_PANELS "/good.uir");
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(EngineTest, BadAndHostileResourcesAreRefusedAtOnceWithOneLineNamingFileAndFault) {
    const std::string good = GoodPanel();
    auto edit = [&](const std::string& from, std::string to) {  // throws unless from is there
        return std::string(good).replace(good.find(from), from.size(), to);
    };
    auto property = [](const std::string& name, const std::string& value) {
        return "<property name=\"" + name + "\">" + value + "</property>";
    };
    const std::string traces = "<property name=\"traceCount\">";
    const std::string central = R"(name="central">)", title = R"(<property name="windowTitle">)";
    auto lineOf = [&](const std::string& anchor) {  // where an edit made there lies
        const auto before = good.begin() + good.find(anchor);
        return "line " + std::to_string(std::count(good.begin(), before, '\n') + 1) + ", ";
    };
    std::string deep = central;
    for (int i = 0; i < 20000; ++i) deep += "<widget class=\"QWidget\" name=\"w\">";
    std::string crowded = central;
    for (int i = 0; i < 20000; ++i) crowded += R"(<widget class="QLabel" name="l"/>)";
    const struct {
        const char* file;
        std::string text;  // none: the file is not there, or made below
        std::string fault;
        int id = 1, parent = 0;
    } cases[] = {
        {"missing.uir", {}, "No such file"},
        {"truncated.uir", good.substr(0, good.size() / 2), "not a panel resource"},
        {"huge.uir", good + std::string(5 << 20, ' '), "more than a panel resource can be"},
        {"deep.uir", edit(central, deep), "nested more than"},
        {"crowded.uir", edit(central, crowded), "more than 1000 widgets in one panel"},
        {"good.uir", good, "no panel with resource ID 2", 2},
        {"good.uir", good, "only top-level panels", 1, 1},
        {"dialog.uir", edit(R"("QMainWindow")", R"("QDialog")"),
         "a QDialog, which a panel may not"},
        {"unsupported_control.uir",
         edit(central, central + R"(<widget class="QCheckBox" name="box">)" +
                           property("controlId", "<number>20</number>") + "</widget>"),
         lineOf(central) + "<widget>: a QCheckBox, which a panel may not hold"},
        {"double_id.uir", edit("<number>2</number>", "<double>2.4</double>"),
         "property \"controlId\" must hold one <number>"},
        {"duplicate_id.uir", edit("<number>5</number>", "<number>4</number>"),
         "two controls have ID 4"},
        {"empty_callback.uir", edit("<string>CtrlCb<", "<string><"),
         "callback must name a function"},
        {"unknown_callback.uir", edit(">TickCb<", ">NoSuch<"),
         "\"NoSuch\", which the program does not define"},
        {"wrong_callback_form.uir", edit(">MenuCb<", ">CtrlCb<"),
         "does not name a command callback"},
        {"zero_interval.uir", edit("0.010000000000000", "0"), "interval must be 1e-06 to 86400"},
        {"missing_selector.uir",
         edit("large\">", "large\">" + property("selector", "<string>no</string>")),
         "control large names selector \"no\", which the panel does not have"},
        {"meter_rate_of_nothing.uir",
         edit(R"("QProgressBar" name="meter">)",
              R"("RateMeter" name="meter">)" + property("rateOf", "<string>no</string>")),
         "control meter names rateOf \"no\""},
        {"chart_rate_of_nothing.uir",
         edit(traces, property("rateOf", "<string>no</string>") + traces),
         "control chart names rateOf \"no\""},
        {"image.uir", edit(title, property("windowIcon", "<iconset>/dev/zero</iconset>") + title),
         lineOf(title) + "<property>: a QMainWindow may not carry the property \"windowIcon\""},
        {"range_a_rounding_wide.uir",
         edit(traces, property("yMinimum", "<double>1</double>") +
                          property("yMaximum", "<double>1.0000000000000002</double>") + traces),
         lineOf(R"("StripChart" name="chart">)") +
             "<widget>: control chart (StripChart): yMinimum and yMaximum must lie"},
        {"property_capitals_nan.uir",
         edit(traces, "<Property name=\"yMinimum\"><double>nan</double></Property>" + traces),
         lineOf(traces) + "<double>: \"nan\" is not a finite number"},
        {"widget_capitals_no_id.uir",
         edit(central, central + R"(<Widget class="NumericEntry" name="noid"></Widget>)"),
         lineOf(central) + "<Widget>: control noid (NumericEntry) has no ID"},
        {"rich_label.uir",
         edit(central, central + R"(<widget class="QLabel" name="l">)" +
                           property("text", "<string>&lt;img src=\"/dev/zero\"&gt;</string>") +
                           "</widget>"),
         lineOf(central) + "<string>: text with markup"},
        {"entity.uir", edit("<ui ", "<!DOCTYPE ui [<!ENTITY e \"x\">]><ui "), "line 2: DTD"},
        {"attribute_spelling.uir",
         edit(R"("QComboBox" name="selector">)", R"("QComboBox" Class="QCheckBox" name="s">)"),
         "<widget>: may not carry the attribute Class"},
        {"huge_minimum_size.uir",
         edit(title,
              property("minimumSize", "<size><width>1000000</width><height>9</height></size>") +
                  title),
         "<width>: must be 0 to 8192 pixels"},
        {"fifo.uir", {}, "not a regular file"},
    };
    QTemporaryDir dir;
    for (const auto& c : cases)
        if (!c.text.empty())
            std::ofstream(dir.filePath(c.file).toStdString(), std::ios::binary) << c.text;
    ASSERT_EQ(mkfifo(dir.filePath("fifo.uir").toLocal8Bit().constData(), 0600), 0);
    engine::SetResourceFolder(dir.path().toStdString());
    for (const auto& c : cases) {
        QElapsedTimer clock;
        clock.start();
        ::testing::internal::CaptureStderr();
        const int h = LoadPanel(c.parent, c.file, c.id);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_LT(h, 0) << c.file;
        EXPECT_LT(clock.elapsed(), 1000) << c.file;
        EXPECT_NE(err.find(c.file), std::string::npos) << err;
        EXPECT_NE(err.find(c.fault), std::string::npos) << c.file << ": " << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
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
