#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>

#include "panel_text.h"
#include "recording_callbacks.h"

using namespace engine::testing;

TEST_F(EngineTest, EachLoadIsAPanelOfItsOwnShownAndHiddenWithoutEvents) {
    const int h = loadQuiet();
    EXPECT_NE(LoadPanel(0, "good.uir", 1), h);
    EXPECT_EQ(Value(h, kSelector), -1);  // no choice made yet
    EXPECT_FALSE(IsShown(h));
    EXPECT_EQ(DisplayPanel(h), 0);
    EXPECT_TRUE(IsShown(h));
    EXPECT_EQ(HidePanel(h), 0);
    EXPECT_FALSE(IsShown(h));
    EXPECT_TRUE(delivered.empty());
}

TEST_F(EngineTest, EveryKindOfBadResourceFailsWithOneLineNamingFileAndReason) {
    const std::string good = GoodPanel();
    const struct {
        const char* file;
        std::string text;  // none: the file is not there
        int id;
        const char* reason;
    } cases[] = {
        {"missing.uir", {}, 1, "No such file"},
        {"empty.uir", "", 1, "not a panel resource"},
        {"truncated.uir", good.substr(0, good.size() / 2), 1, "not a panel resource"},
        {"good.uir", good, 2, "no panel with resource ID 2"},
        {"wrong_panel_id.uir",
         Replaced(good, "name=\"panelId\" stdset=\"0\">\n   <number>1<",
                  "name=\"panelId\" stdset=\"0\">\n   <number>7<"),
         1, "no panel with resource ID 1"},
        {"duplicate_id.uir",
         Replaced(good,
                  "name=\"address\">\n      <property name=\"controlId\" stdset=\"0\">\n       "
                  "<number>5<",
                  "name=\"address\">\n      <property name=\"controlId\" stdset=\"0\">\n       "
                  "<number>4<"),
         1, "two controls have ID 4"},
        {"unknown_callback.uir",
         Replaced(good, "<string>TickCb</string>", "<string>NoSuchCallback</string>"), 1,
         "\"NoSuchCallback\", which the program does not define"},
        {"wrong_callback_form.uir",
         Replaced(good, "<string>MenuCb</string>", "<string>CtrlCb</string>"), 1,
         "does not name a command callback"},
        {"unsupported_control.uir",
         Replaced(good, "<widget class=\"QWidget\" name=\"central\">",
                  "<widget class=\"QWidget\" name=\"central\"><widget class=\"QCheckBox\" "
                  "name=\"box\"><property name=\"controlId\" stdset=\"0\"><number>20</number>"
                  "</property></widget>"),
         1, "control box is a QCheckBox, which the engine cannot drive"},
        {"missing_selector.uir",
         Replaced(good, "<widget class=\"LargeDisplay\" name=\"large\">",
                  "<widget class=\"LargeDisplay\" name=\"large\"><property name=\"selector\">"
                  "<string>nosuch</string></property>"),
         1, "control large names selector \"nosuch\", which the panel does not have"},
    };
    QTemporaryDir dir;
    engine::SetResourceFolder(dir.path().toStdString());
    for (const auto& c : cases) {
        if (std::string(c.file) != "missing.uir")
            std::ofstream(dir.filePath(c.file).toStdString(), std::ios::binary) << c.text;
        ::testing::internal::CaptureStderr();
        const int h = LoadPanel(0, c.file, c.id);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_LT(h, 0) << c.file;
        EXPECT_NE(err.find(c.file), std::string::npos) << err;
        EXPECT_NE(err.find(c.reason), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    }
    ::testing::internal::CaptureStderr();
    EXPECT_LT(LoadPanel(1, "good.uir", 1), 0);  // only top-level panels
    ::testing::internal::GetCapturedStderr();
}
