// The control-kind table: which row a widget is driven by, what each row makes, and the
// resource rules the rows hold a panel's controls to.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <memory>

#include "engine/controls/control_kinds.h"
#include "engine/controls/controls.h"

namespace elsewhere {
// A widget of ours from another namespace: driven as the meter it is.
class BusyMeter : public RateMeter {
    Q_OBJECT
  public:
    using RateMeter::RateMeter;
};
}  // namespace elsewhere

TEST(ControlKinds, AWidgetIsDrivenByTheRowOfItsNearestClassAndEachRowMakesItsOwnWidget) {
    const struct {
        QWidget* widget;
        const char* kind;  // nullptr: the engine cannot drive it
    } cases[] = {
        {new NumericIndicator, "NumericIndicator"},  // not its base, QDoubleSpinBox
        {new NumericEntry, "NumericEntry"},          // not QSpinBox
        {new elsewhere::BusyMeter, "RateMeter"},
        {new QDoubleSpinBox, "QDoubleSpinBox"},
        {new QCheckBox, nullptr},
    };
    for (const auto& c : cases) {
        const std::unique_ptr<QWidget> owned(c.widget);
        const engine::ControlKind* kind = engine::KindOf(c.widget);
        EXPECT_EQ(kind, c.kind ? engine::KindNamed(c.kind) : nullptr)
            << c.widget->metaObject()->className();
    }
    for (const char* name : {"NumericEntry", "NumericIndicator", "TimerControl", "LargeDisplay",
                             "RateMeter", "StripChart"}) {
        const engine::ControlKind* kind = engine::KindNamed(name);
        ASSERT_TRUE(kind && kind->create) << name;
        const std::unique_ptr<QWidget> made(kind->create(nullptr));
        EXPECT_STREQ(made->metaObject()->className(), name);
        EXPECT_EQ(engine::KindOf(made.get()), kind);
    }
    EXPECT_EQ(engine::KindNamed("QComboBox")->create, nullptr);  // Qt's loader makes it
    EXPECT_EQ(engine::KindNamed("QCheckBox"), nullptr);
}

TEST(ControlKinds, ChartsAndTimersAreHeldToSaneProperties) {
    const struct {
        const char* kind;
        engine::ResourceProperties properties;
        const char* fault;  // "": none
    } cases[] = {
        {"StripChart", {}, ""},
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
        {"StripChart", {{"yMinimum", {"double", "2.5"}}}, "the minimum below the maximum"},
        {"StripChart", {{"yMaximum", {"double", "inf"}}}, "must be finite"},
        {"StripChart", {{"yMinimum", {"double", "nan"}}}, "must be finite"},
        {"TimerControl", {}, ""},
        {"TimerControl", {{"interval", {"double", "1e-9"}}}, ""},
        {"TimerControl", {{"interval", {"double", "0"}}}, "above 0"},
        {"TimerControl", {{"interval", {"double", "inf"}}}, "finite number of seconds"},
        {"TimerControl", {{"interval", {"string", "1"}}}, "finite number of seconds"},
    };
    for (const auto& c : cases) {
        const engine::ControlKind* kind = engine::KindNamed(c.kind);
        ASSERT_TRUE(kind && kind->check && kind->needsId);
        const QString fault = kind->check(c.properties);
        if (*c.fault == '\0')
            EXPECT_TRUE(fault.isEmpty()) << fault.toStdString();
        else
            EXPECT_TRUE(fault.contains(c.fault)) << c.fault << " / " << fault.toStdString();
    }
}

#include "control_kinds_test.moc"
