// The resource rules the control-kind table holds a panel's controls to.
#include <gtest/gtest.h>

#include "engine/controls/control_kinds.h"

TEST(ControlKinds, EveryNumberAResourceGivesIsHeldToWhatTheControlsDraw) {
    const struct {
        const char* kind;
        engine::ResourceProperties properties;
        const char* fault;  // "": none
    } cases[] = {
        {"StripChart", {{"traceCount", {"number", "16"}}}, ""},
        {"StripChart", {{"traceCount", {"number", "0"}}}, "traceCount must be 1 to 16"},
        {"StripChart", {{"traceCount", {"number", "17"}}}, "traceCount must be 1 to 16"},
        {"StripChart", {{"traceCount", {"double", "2.5"}}}, "traceCount must be 1 to 16"},
        {"StripChart", {{"history", {"number", "2"}}}, ""},
        {"StripChart", {{"history", {"number", "1"}}}, "history must be 2 to 1000000 points"},
        {"StripChart", {{"history", {"number", "1000001"}}}, "history must be 2 to 1000000"},
        {"StripChart",
         {{"traceCount", {"number", "16"}}, {"history", {"number", "500001"}}},
         "traceCount times history must be at most 8000000 points"},
        {"StripChart", {{"traceCount", {"number", "16"}}, {"history", {"number", "500000"}}}, ""},
        // The range: four converter steps wide at least, within a million either way.
        {"StripChart",
         {{"yMinimum", {"double", "1"}}, {"yMaximum", {"double", "1.00244140625"}}},
         ""},
        {"StripChart",
         {{"yMinimum", {"double", "1"}}, {"yMaximum", {"double", "1.0024414"}}},
         "the maximum at least 0.00244141 above the minimum"},
        {"StripChart", {{"yMinimum", {"double", "-1e6"}}}, ""},
        {"StripChart", {{"yMinimum", {"double", "-1.000001e6"}}}, "within +-1e+06"},
        {"StripChart", {{"yMaximum", {"double", "inf"}}}, "yMinimum and yMaximum must"},
        {"StripChart", {{"span", {"double", "0.01"}}}, ""},
        {"StripChart", {{"span", {"double", "0.0099"}}}, "span must be 0.01 to 86400 seconds"},
        {"StripChart", {{"span", {"number", "86401"}}}, "span must be 0.01 to 86400 seconds"},
        {"StripChart", {{"resolution", {"double", "1e-6"}}}, ""},
        {"StripChart", {{"resolution", {"double", "0"}}}, "resolution must be 1e-06 to 10"},
        {"StripChart", {{"resolution", {"double", "11"}}}, "resolution must be 1e-06 to 10"},
        {"TimerControl", {{"interval", {"double", "1e-6"}}}, ""},
        {"TimerControl", {{"interval", {"double", "86400"}}}, ""},
        {"TimerControl", {{"interval", {"double", "1e-9"}}}, "interval must be 1e-06 to 86400"},
        {"TimerControl", {{"interval", {"double", "86401"}}}, "interval must be 1e-06 to 86400"},
        {"TimerControl", {{"interval", {"string", "1"}}}, "interval must be"},
        // Spin boxes and bars: a range within a billion either way, in order.
        {"QSpinBox", {{"minimum", {"number", "-1000000000"}}}, ""},
        {"NumericEntry",
         {{"maximum", {"number", "1000000001"}}},
         "maximum must be a number within"},
        {"QProgressBar",
         {{"minimum", {"number", "5"}}, {"maximum", {"number", "4"}}},
         "minimum must not be above its maximum"},
        {"RateMeter", {{"value", {"number", "-2000000000"}}}, "value must be a number within"},
        {"QSpinBox", {{"displayIntegerBase", {"number", "37"}}}, "displayIntegerBase must be 2"},
        {"QDoubleSpinBox", {{"maximum", {"double", "1e300"}}}, "maximum must be a number within"},
        {"NumericIndicator", {{"displayDecimals", {"number", "16"}}}, "displayDecimals must be 0"},
        {"LargeDisplay", {{"decimals", {"number", "-1"}}}, "decimals must be 0 to 15"},
    };
    for (const auto& c : cases) {
        const engine::ControlKind* kind = engine::KindNamed(c.kind);
        ASSERT_TRUE(kind && kind->check && kind->needsId);
        const QString fault = kind->check(c.properties);
        EXPECT_EQ(fault.isEmpty(), !*c.fault) << c.kind << " " << c.fault;
        EXPECT_TRUE(fault.contains(c.fault)) << c.fault << " / " << fault.toStdString();
    }
}
