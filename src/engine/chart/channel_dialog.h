// The channels' names, units and calibration as the operator edits them, and the two-point
// helper that finds a channel's gain and offset from two known inputs. Plain values in and out:
// the chart's menu opens them and applies what comes back. Each runs modally: acquisition and
// any recording go on in the nested event loop, so the helper can take the newest scans.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "engine/channels.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace engine {

// The last `scans` scans of trace `trace` (0-based), in volts, oldest first; fewer when the
// chart holds fewer.
using LastScans = std::function<std::vector<double>(int trace, int scans)>;

// A number as the operator types it: the C locale's digits, no group separators, finite.
std::optional<double> ParseNumber(const QString& text);
// The shortest text that parses back to exactly `value`.
QString TypedNumber(double value);
// The line a dialog says why it refuses in, red; empty until it refuses.
QLabel* RefusalLine(QWidget* parent);

// Two known inputs, the mean of the last N scans taken at each, and the line through them.
class CalibrationDialog : public QDialog {
  public:
    // `name` titles the window; known values and the residual are in `unit`.
    CalibrationDialog(QWidget* parent, const QString& name, const QString& unit, int trace,
                      LastScans lastScans, double resolution);
    QSpinBox* scans() const { return scans_; }                          // N, 1 to 10000
    QLineEdit* known(int point) const { return points_[point].known; }  // point 0 or 1
    QPushButton* take(int point) const { return points_[point].take; }
    QLabel* taken(int point) const { return points_[point].taken; }  // mean in volts, count
    QLabel* result() const { return result_; }  // gain, offset and residual, or why not
    QPushButton* useButton() const { return use_; }
    // The fit of the points as they stand; nothing while refused.
    const std::optional<TwoPointResult>& fit() const { return fit_; }

  private:
    void takePoint(int point);
    void refit();
    struct Point {
        QLineEdit* known;
        QPushButton* take;
        QLabel* taken;
        std::vector<double> volts;
    };
    Point points_[2];
    QSpinBox* scans_;
    QLabel* result_;
    QPushButton* use_;
    QString unit_;
    int trace_;
    LastScans lastScans_;
    double resolution_;
    std::optional<TwoPointResult> fit_;
};

// One row per channel: name, unit, gain, offset, and "Calibrate..." for the two-point helper.
class ChannelDialog : public QDialog {
  public:
    enum Column { kName, kUnit, kGain, kOffset, kCalibrate };
    // `resolution`: the converter's step in volts, the closest two points may be.
    ChannelDialog(QWidget* parent, std::vector<ChannelSetup> current, LastScans lastScans,
                  double resolution);
    QTableWidget* table() const { return table_; }
    QLabel* refusal() const { return refusal_; }
    // Opens the two-point helper for `row` (modal); "Use" puts its gain and offset in the row.
    void calibrate(int row);
    // OK: the channels as typed, or the first refusal shown and its cell selected.
    void accept() override;
    const std::vector<ChannelSetup>& channels() const { return accepted_; }

  private:
    QString text(int row, int column) const;
    QTableWidget* table_;
    QLabel* refusal_;
    LastScans lastScans_;
    double resolution_;
    std::vector<ChannelSetup> accepted_;
};

// The channels as the operator leaves them on OK; nothing on Cancel.
std::optional<std::vector<ChannelSetup>> EditChannels(QWidget* parent,
                                                      std::vector<ChannelSetup> current,
                                                      LastScans lastScans, double resolution);

}  // namespace engine
