#include <gtest/gtest.h>

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
    const struct {
        const char* file;
        int id;
        const char* reason;
    } cases[] = {
        {"missing.uir", 1, "No such file"},
        {"empty.uir", 1, ""},
        {"malformed.uir", 1, ""},
        {"good.uir", 2, "no panel with resource ID 2"},
        {"wrong_panel_id.uir", 1, "no panel with resource ID 1"},
        {"duplicate_id.uir", 1, "two controls have ID 4"},
        {"unknown_callback.uir", 1, "\"NoSuchCallback\", which the program does not define"},
        {"wrong_callback_form.uir", 1, "does not name a command callback"},
        {"unsupported_control.uir", 1, "QCheckBox, which the engine cannot drive"},
    };
    for (const auto& c : cases) {
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
