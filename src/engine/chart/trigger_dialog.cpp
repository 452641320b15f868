#include "engine/chart/trigger_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <cmath>

#include "engine/chart/channel_dialog.h"
#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"

namespace engine {
namespace {

// The form, then the refusal line, then OK and Cancel.
QFormLayout* Frame(QDialog* dialog, QLabel* refusal) {
    auto* form = new QFormLayout;
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    dialog->setMinimumWidth(dialog->fontMetrics().horizontalAdvance(QString(40, 'x')));
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(refusal);
    layout->addWidget(buttons);
    return form;
}

// A field with its unit beside it.
QWidget* WithUnit(QWidget* field, QLabel* unit) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(field);
    layout->addWidget(unit);
    return row;
}

}  // namespace

RangeDialog::RangeDialog(QWidget* parent, const QString& what, std::pair<double, double> current,
                         const QString& unit)
    : QDialog(parent), range_(current) {
    setWindowTitle("Range");
    minimum_ = new QLineEdit(TypedNumber(current.first), this);
    maximum_ = new QLineEdit(TypedNumber(current.second), this);
    refusal_ = RefusalLine(this);
    QFormLayout* form = Frame(this, refusal_);
    form->addRow(new QLabel(what, this));
    form->addRow("Minimum", WithUnit(minimum_, new QLabel(unit, this)));
    form->addRow("Maximum", WithUnit(maximum_, new QLabel(unit, this)));
}

void RangeDialog::accept() {
    const auto low = ParseNumber(minimum_->text()), high = ParseNumber(maximum_->text());
    const auto why = low && high
                         ? CheckChartRange({*low, *high})
                         : std::optional<std::string>("Minimum and maximum must be numbers.");
    if (why) {
        refusal_->setText(QString::fromStdString(*why));
        return;
    }
    range_ = {*low, *high};
    QDialog::accept();
}

TriggerDialog::TriggerDialog(QWidget* parent, TriggerSetup current,
                             std::vector<ChannelSetup> channels)
    : QDialog(parent), channels_(std::move(channels)), setup_(current) {
    setWindowTitle("Trigger");
    channel_ = new QComboBox(this);
    for (const ChannelSetup& c : channels_) channel_->addItem(QString::fromStdString(c.name));
    if (current.channel >= 0 && current.channel < channel_->count())
        channel_->setCurrentIndex(current.channel);
    edge_ = new QComboBox(this);
    edge_->addItems({"Rising", "Falling"});
    edge_->setCurrentIndex(current.edge == TriggerEdge::falling);
    level_ = new QLineEdit(TypedNumber(current.level), this);
    unit_ = new QLabel(this);
    auto showUnit = [this](int index) {
        unit_->setText(index >= 0 && index < static_cast<int>(channels_.size())
                           ? QString::fromStdString(channels_[static_cast<std::size_t>(index)].unit)
                           : QString());
    };
    showUnit(channel_->currentIndex());
    connect(channel_, &QComboBox::currentIndexChanged, this, showUnit);
    position_ = new QDoubleSpinBox(this);
    position_->setLocale(QLocale::c());
    position_->setRange(0, 100);
    position_->setDecimals(1);
    position_->setSuffix(" %");
    position_->setValue(std::isfinite(current.position) ? current.position * 100 : 50);
    mode_ = new QComboBox(this);
    mode_->addItems({"Off", "Single", "Normal"});
    mode_->setCurrentIndex(static_cast<int>(current.mode));
    refusal_ = RefusalLine(this);
    QFormLayout* form = Frame(this, refusal_);
    form->addRow("Channel", channel_);
    form->addRow("Edge", edge_);
    form->addRow("Level", WithUnit(level_, unit_));
    form->addRow("Position in the view", position_);
    form->addRow("Mode", mode_);
}

void TriggerDialog::accept() {
    const auto level = ParseNumber(level_->text());
    if (!level) {
        refusal_->setText("The level must be a number.");
        return;
    }
    TriggerSetup setup;
    setup.channel = channel_->currentIndex();
    setup.edge = edge_->currentIndex() == 1 ? TriggerEdge::falling : TriggerEdge::rising;
    setup.level = *level;
    // Left as it was shown, the position keeps its every digit, not the box's one decimal.
    const double shown = setup_.position * 100;
    setup.position =
        std::fabs(position_->value() - shown) < 0.05 && setup_.position >= 0 && setup_.position <= 1
            ? setup_.position
            : position_->value() / 100;
    setup.mode = static_cast<TriggerMode>(mode_->currentIndex());
    if (const auto why = CheckTrigger(setup, static_cast<int>(channels_.size()))) {
        refusal_->setText(QString::fromStdString(*why));
        return;
    }
    setup_ = setup;
    QDialog::accept();
}

NoteDialog::NoteDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Note");
    line_ = new QLineEdit(this);
    line_->setMaxLength(static_cast<int>(kNoteLimit));  // as a recording keeps a note
    // Control characters, line breaks and marks that reorder the text could break the
    // recording's comment line or how it reads: they cannot be typed or pasted.
    line_->setValidator(new QRegularExpressionValidator(
        QRegularExpression("[^\\p{Cc}\\x{2028}\\x{2029}\\x{200E}\\x{200F}\\x{202A}-\\x{202E}"
                           "\\x{2066}-\\x{2069}]*"),
        line_));
    line_->setMinimumWidth(400);
    refusal_ = RefusalLine(this);
    Frame(this, refusal_)->addRow("Note", line_);
}

void NoteDialog::accept() {
    const QString note = line_->text().trimmed();
    if (note.isEmpty()) {
        refusal_->setText("Type a note first.");
        return;
    }
    if (!line_->hasAcceptableInput()) {
        refusal_->setText("A note must be plain text on one line.");
        return;
    }
    note_ = note;
    QDialog::accept();
}

std::optional<std::pair<double, double>> EditRange(QWidget* parent, const QString& what,
                                                   std::pair<double, double> current,
                                                   const QString& unit) {
    RangeDialog dialog(parent, what, current, unit);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.range();
}

std::optional<TriggerSetup> EditTrigger(QWidget* parent, TriggerSetup current,
                                        const std::vector<ChannelSetup>& channels) {
    TriggerDialog dialog(parent, current, channels);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.setup();
}

std::optional<QString> AskNote(QWidget* parent) {
    NoteDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.note();
}

}  // namespace engine
