// The chart's dialogs filled in as the operator does: what OK refuses and where it points, and
// the plain values they give back.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

#include "engine/chart/channel_dialog.h"
#include "engine/chart/trigger_dialog.h"

using namespace engine;

namespace {
constexpr double kStep = 2.5 / 4096;

std::vector<ChannelSetup> Defaults(int n) {
    std::vector<ChannelSetup> channels;
    for (int i = 0; i < n; ++i) channels.push_back(DefaultChannel(i));
    return channels;
}
}  // namespace

TEST(ChannelDialog, RefusesTheFirstBadCellAndReturnsWhatWasTyped) {
    using D = ChannelDialog;
    struct Case {
        int row, column;
        const char *text, *refusal;
    };
    const Case refused[] = {
        {2, D::kGain, "0", "Channel 3: Gain must not be 0."},
        {0, D::kName, "A,B",
         "Channel 1: The name must not contain a comma, a double quote or a backslash."},
        {5, D::kGain, "1,500", "Channel 6: Gain must be a number."},
        {1, D::kOffset, "1e13", "Channel 2: Offset must be within -1e12 to 1e12."},
        {3, D::kUnit, "V ", "Channel 4: The unit must not begin or end with a space."},
        {4, D::kName, "", "Channel 5: The name must not be empty."},
        {7, D::kName, "CH2", "Channel 8: The name is already used."},
    };
    for (const Case& c : refused) {
        D dialog(nullptr, Defaults(8), {}, kStep);
        dialog.table()->item(c.row, c.column)->setText(c.text);
        dialog.accept();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.text;
        EXPECT_EQ(dialog.refusal()->text(), c.refusal);
        EXPECT_EQ(dialog.table()->currentRow(), c.row) << c.text;
        EXPECT_EQ(dialog.table()->currentColumn(), c.column) << c.text;
    }

    const char* typed[3][4] = {{"Supply rail", "V", "11", "0"},
                               {"Pressure", "kPa", "40.5", " -10.125"},
                               {"Température", "°C", "-1e2", "2.5e3"}};
    D dialog(nullptr, Defaults(3), {}, kStep);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column)
            dialog.table()->item(row, column)->setText(typed[row][column]);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted) << dialog.refusal()->text().toStdString();
    const std::vector<ChannelSetup> expected = {{"Supply rail", "V", 11, 0},
                                                {"Pressure", "kPa", 40.5, -10.125},
                                                {"Température", "°C", -100, 2500}};
    EXPECT_EQ(dialog.channels(), expected);
}

// The helper opened from row 3, driven while it runs modally, fed literal scans: gain 100 and
// offset -50 put the means 0.5 V and 1.5 V on 0 and 100 kPa; every scan 0.25 V off its mean is
// 25 kPa off, half of them are: residual sqrt(4 * 625 / 8).
TEST(ChannelDialog, TwoPointHelperFitsLiteralScansAndPutsTheLineInTheRow) {
    const std::vector<double> applied[2] = {{0.5, 0.5, 0.75, 0.25}, {1.5, 1.5, 1.25, 1.75}};
    std::vector<std::pair<int, int>> asked;
    auto lastScans = [&](int trace, int scans) {
        asked.emplace_back(trace, scans);
        return applied[(asked.size() - 1) % 2];
    };
    ChannelDialog dialog(nullptr, Defaults(8), lastScans, kStep);
    dialog.table()->item(2, ChannelDialog::kUnit)->setText("kPa");
    QStringList seen;
    std::optional<TwoPointResult> fit;
    QTimer::singleShot(0, [&] {
        CalibrationDialog* helper = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* h = dynamic_cast<CalibrationDialog*>(w); h && h->isVisible()) helper = h;
        ASSERT_NE(helper, nullptr);
        seen << helper->windowTitle();
        helper->scans()->setValue(4);
        helper->known(0)->setText("0");
        helper->known(1)->setText("0");
        helper->take(0)->click();
        helper->take(1)->click();
        seen << helper->result()->text() << QString::number(helper->useButton()->isEnabled());
        helper->known(1)->setText("100");
        seen << helper->taken(0)->text() << helper->taken(1)->text() << helper->result()->text();
        fit = helper->fit();
        helper->useButton()->click();
    });
    dialog.calibrate(2);
    EXPECT_EQ(seen, QStringList({"Calibrate CH2",
                                 "The two known values are the same: apply two different inputs.",
                                 "0", "0.5 V, mean of 4 scans", "1.5 V, mean of 4 scans",
                                 "Gain 100, offset -50, residual 17.6777 kPa"}));
    EXPECT_EQ(asked, (std::vector<std::pair<int, int>>{{2, 4}, {2, 4}}));
    ASSERT_TRUE(fit);
    EXPECT_EQ(fit->gain, 100);
    EXPECT_EQ(fit->offset, -50);
    EXPECT_DOUBLE_EQ(fit->residual, 17.677669529663689);
    EXPECT_EQ(dialog.table()->item(2, ChannelDialog::kGain)->text(), "100");
    EXPECT_EQ(dialog.table()->item(2, ChannelDialog::kOffset)->text(), "-50");
}

TEST(RangeDialog, RefusesWhatTheChartCannotDrawAndReturnsTheRangeTyped) {
    const struct {
        const char *minimum, *maximum, *refusal;
    } cases[] = {
        {"1", "1", "The minimum must be below the maximum."},
        {"2", "1.5", "The minimum must be below the maximum."},
        {"nan", "1", "Minimum and maximum must be numbers."},
        {"0", "", "Minimum and maximum must be numbers."},
        {"-2e6", "0", "Minimum and maximum must be within -1e6 to 1e6."},
        {"0", "0.002", "The range must span at least 0.00244."},
    };
    for (const auto& c : cases) {
        RangeDialog dialog(nullptr, "Y axis", {0, 2.5}, "V");
        dialog.minimum()->setText(c.minimum);
        dialog.maximum()->setText(c.maximum);
        dialog.accept();
        EXPECT_EQ(dialog.refusal()->text(), c.refusal);
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.minimum;
    }
    RangeDialog dialog(nullptr, "Y axis", {0, 2.5}, "V");
    dialog.minimum()->setText("-0.5");
    dialog.maximum()->setText("3.25");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.range(), std::make_pair(-0.5, 3.25));
}

TEST(TriggerDialog, ReturnsTheFieldsTypedWithTheChannelsUnit) {
    std::vector<ChannelSetup> channels = Defaults(4);
    channels[2] = {"Pressure", "kPa", 40, -10};
    TriggerDialog dialog(nullptr, TriggerSetup{}, channels);
    EXPECT_EQ(dialog.unit()->text(), "V");
    dialog.channel()->setCurrentIndex(2);
    dialog.edge()->setCurrentIndex(1);
    dialog.level()->setText("x");
    dialog.position()->setValue(25);
    dialog.mode()->setCurrentIndex(2);
    dialog.accept();
    EXPECT_EQ(dialog.refusal()->text(), "The level must be a number.");
    dialog.level()->setText("12.5");
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.unit()->text(), "kPa");
    EXPECT_EQ(dialog.channel()->currentText(), "Pressure");
    const TriggerSetup expected{2, TriggerEdge::falling, 12.5, 0.25, TriggerMode::normal};
    EXPECT_EQ(dialog.setup(), expected);
}

// Pasted text goes through the same gate as typed text: a line break or a terminal's escape
// would split or steer the recording's comment line.
TEST(NoteDialog, TakesOneLineOfAtMost200PlainCharacters) {
    NoteDialog dialog(nullptr);
    dialog.accept();
    EXPECT_EQ(dialog.refusal()->text(), "Type a note first.");
    for (const char* refused : {"a\nb", "\x1b[31m", "tab\there", "\u202Eright to left"})
        dialog.line()->insert(QString::fromUtf8(refused));
    EXPECT_EQ(dialog.line()->text(), "");
    dialog.line()->insert(" Valve opened, 2°C " + QString(300, 'x'));
    EXPECT_EQ(dialog.line()->text().size(), 200);
    dialog.accept();
    ASSERT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.note(), "Valve opened, 2°C " + QString(181, 'x'));
}
