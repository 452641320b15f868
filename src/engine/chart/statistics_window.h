// The statistics of a span, channel by channel, in the channel's unit and in converter codes,
// in a window beside the chart: a table with a row per channel, and under it the code histogram
// of the chosen row, where codes never seen and data bits that never change stand out.
#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>
#include <vector>

#include "engine/channels.h"
#include "engine/chart/code_statistics.h"

class QLabel;
class QTableWidget;

namespace engine {

struct ChannelStatistics {
    ChannelSetup channel;
    CodeStatistics codes;
};

// "bit 3 stuck at 0, bit 7 stuck at 1"; "none" when no bit is held.
QString StuckBitsText(const CodeStatistics& s);

// The codes from lowest to highest seen as bars of their counts, on a linear scale; codes
// never seen between them marked below the axis. Where there are more codes than pixel
// columns, a column shows the most frequent of its codes and is marked when any is missing.
class CodeHistogram : public QWidget {
  public:
    explicit CodeHistogram(QWidget* parent = nullptr);
    void setStatistics(const CodeStatistics& s);
    // In words, what the bars show: "Codes 2040 to 2056: 17 codes, the most often 2048 (312
    // scans). Missing: 2043, 2051."
    QString summary() const { return summary_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    CodeStatistics stats_;
    QString summary_;
};

class StatisticsWindow : public QDialog {
  public:
    enum Column {
        kName,
        kCount,
        kMean,
        kMinimum,
        kMaximum,
        kPeakToPeak,
        kDeviation,
        kNoise,
        kEffectiveBits,
        kMissing,
        kStuck,
        kColumns
    };
    explicit StatisticsWindow(QWidget* parent = nullptr);
    // New figures: one per channel, and the volts of one converter step.
    void refresh(const std::vector<ChannelStatistics>& channels, double resolution);
    // What the table shows, for tests and the integrator's read-backs.
    QString cell(int row, Column column) const;
    int rows() const;
    void chooseRow(int row);
    const CodeHistogram& histogram() const { return *histogram_; }

  private:
    void showHistogram();
    std::vector<ChannelStatistics> channels_;
    QTableWidget* table_;
    CodeHistogram* histogram_;
    QLabel* summary_;
};

// Shows the statistics window of `parent` (one per parent, made at the first call, non-modal,
// deleted when closed) with these figures, and brings it to the front.
StatisticsWindow* ShowStatisticsWindow(QWidget* parent,
                                       const std::vector<ChannelStatistics>& channels,
                                       double resolution);

}  // namespace engine
