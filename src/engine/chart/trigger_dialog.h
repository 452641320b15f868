// The chart's smaller dialogs: a vertical range set by hand, the level trigger, and a note for
// the recording. Plain values in and out, each run modally: acquisition and any recording go on
// in the nested event loop.
#pragma once

#include <QDialog>
#include <QString>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/channels.h"
#include "engine/chart/level_trigger.h"
#include "engine/recording/recording_lines.h"  // kNoteLimit: what a recording keeps of a note

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;

namespace engine {

// Minimum and maximum for one axis or lane (`what`: "Y axis", "Lane of CH2").
class RangeDialog : public QDialog {
  public:
    RangeDialog(QWidget* parent, const QString& what, std::pair<double, double> current,
                const QString& unit);
    QLineEdit* minimum() const { return minimum_; }
    QLineEdit* maximum() const { return maximum_; }
    QLabel* refusal() const { return refusal_; }
    void accept() override;
    std::pair<double, double> range() const { return range_; }

  private:
    QLineEdit *minimum_, *maximum_;
    QLabel* refusal_;
    std::pair<double, double> range_;
};

// The trigger: channel by name, edge, level in that channel's unit, position, mode.
class TriggerDialog : public QDialog {
  public:
    TriggerDialog(QWidget* parent, TriggerSetup current, std::vector<ChannelSetup> channels);
    QComboBox* channel() const { return channel_; }
    QComboBox* edge() const { return edge_; }    // rising, falling
    QLineEdit* level() const { return level_; }  // in the chosen channel's unit
    QLabel* unit() const { return unit_; }
    QDoubleSpinBox* position() const { return position_; }  // 0 to 100 % of the view
    QComboBox* mode() const { return mode_; }               // off, single, normal
    QLabel* refusal() const { return refusal_; }
    void accept() override;
    const TriggerSetup& setup() const { return setup_; }

  private:
    std::vector<ChannelSetup> channels_;
    QComboBox *channel_, *edge_, *mode_;
    QLineEdit* level_;
    QLabel *unit_, *refusal_;
    QDoubleSpinBox* position_;
    TriggerSetup setup_;
};

class NoteDialog : public QDialog {
  public:
    explicit NoteDialog(QWidget* parent);
    QLineEdit* line() const { return line_; }
    QLabel* refusal() const { return refusal_; }
    void accept() override;
    const QString& note() const { return note_; }  // trimmed

  private:
    QLineEdit* line_;
    QLabel* refusal_;
    QString note_;
};

// Each: what the operator set on OK, nothing on Cancel.
std::optional<std::pair<double, double>> EditRange(QWidget* parent, const QString& what,
                                                   std::pair<double, double> current,
                                                   const QString& unit);
std::optional<TriggerSetup> EditTrigger(QWidget* parent, TriggerSetup current,
                                        const std::vector<ChannelSetup>& channels);
std::optional<QString> AskNote(QWidget* parent);

}  // namespace engine
