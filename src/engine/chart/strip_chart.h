// The strip chart: one trace per input, scrolling left, newest scan at the right edge.
// Appending is O(1) and never paints; the chart is painted with its window, in the window's
// display frames (at most 60 a second whatever the scan rate), drawing per pixel column the
// lowest and highest point that falls there. A legend shows each trace's colour, name and live
// value (a click hides or shows the trace); Space or the Freeze button holds the picture while the
// data goes on; hovering reads out the time and the values under the cursor; the context menu
// switches between the resource's fixed range and autoscale.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "engine/chart/column_summary.h"
#include "engine/chart/trace_history.h"
#include "engine/display/number_text.h"
#include "engine/display/shown_per_frame.h"
#include "engine/panels/registry.h"
#include "engine/recording/scan_recorder.h"

class QToolButton;

class StripChart : public QWidget, public engine::ShownPerFrame {
    Q_OBJECT
    Q_PROPERTY(int traceCount READ traceCount WRITE setTraceCount)
    Q_PROPERTY(int history READ history WRITE setHistory)
    Q_PROPERTY(double yMinimum READ yMinimum WRITE setYMinimum)
    Q_PROPERTY(double yMaximum READ yMaximum WRITE setYMaximum)
    Q_PROPERTY(QStringList traceColors READ traceColors WRITE setTraceColors)
    Q_PROPERTY(QStringList traceNames READ traceNames WRITE setTraceNames)
    Q_PROPERTY(QString unit READ unit WRITE setUnit)
    Q_PROPERTY(double resolution READ resolution WRITE setResolution)
    Q_PROPERTY(double span READ span WRITE setSpan)
    Q_PROPERTY(QString rateOf READ rateOf WRITE setRateOf)
  public:
    explicit StripChart(QWidget* parent = nullptr);
    int traceCount() const { return live_.traces(); }
    void setTraceCount(int n);
    int history() const { return live_.capacity(); }
    void setHistory(int points);
    double yMinimum() const { return y_min_; }
    void setYMinimum(double v);
    double yMaximum() const { return y_max_; }
    void setYMaximum(double v);
    QStringList traceColors() const { return colors_; }
    void setTraceColors(const QStringList& c);
    QStringList traceNames() const { return names_; }
    void setTraceNames(const QStringList& n);
    QString unit() const { return unit_; }
    void setUnit(const QString& u);
    // The step values are kept in (see TraceHistory).
    double resolution() const { return live_.resolution(); }
    void setResolution(double r);
    // The seconds shown, ending at the newest scan; the menu offers kSpans.
    double span() const { return span_; }
    void setSpan(double seconds);
    static constexpr double kSpans[] = {1, 10, 60, 600};

    // One point on each trace, taken at `seconds` (a steady clock's); values holds
    // traceCount() of them.
    void appendScan(const double* values, double seconds);
    const TraceHistory& data() const { return live_; }
    // What the picture shows: the live data, or the snapshot taken when it froze.
    const TraceHistory& shown() const { return frozen_ ? snapshot_ : live_; }

    QColor traceColor(int trace) const;
    QString traceName(int trace) const;
    bool traceVisible(int trace) const;
    void setTraceVisible(int trace, bool visible);
    bool frozen() const { return frozen_; }
    void setFrozen(bool on);
    bool autoscale() const { return autoscale_; }
    void setAutoscale(bool on);
    // Statistics of the shown span, per visible trace, drawn over the plot when on:
    // "CH1  min 0.2500  max 2.2500  mean 1.2500  p-p 2.0000 V".
    bool statisticsShown() const { return statistics_shown_; }
    void setStatisticsShown(bool on);
    std::vector<std::pair<int, QString>> statisticsLines() const;
    // What pointing at a legend entry tells: that trace's statistics of the span.
    QString legendToolTip(int trace) const;
    // The vertical range drawn now.
    std::pair<double, double> shownRange() const;

    // Where things are, for the operator's clicks and for tests.
    QRectF plotArea() const;
    QRect legendEntry(int trace) const;
    QToolButton* freezeButton() const { return freeze_; }
    QToolButton* recordButton() const { return record_; }

    // Recording every scan to a CSV file (see ScanRecorder), and saving what is shown.
    // `rateOf` names the timer that paces the scans: its rate goes in the header, and its
    // changes in comment lines.
    QString rateOf() const { return rate_of_; }
    void setRateOf(const QString& name) { rate_of_ = name; }
    // Called once the panel is loaded: the requested rate, in scans a second.
    void bindRate(std::function<double()> rate) { rate_ = std::move(rate); }
    void rateChanged(double scansPerSecond);
    // A new, dated file name in the user's documents folder, not taken yet.
    static QString defaultRecordingPath();
    // Asks for the file (Record, Ctrl+R), then records to it; asked again, stops.
    void chooseAndRecord();
    // Starts recording; a file of that name is kept unless `overwrite` (the operator agreed).
    // False when it could not start, after saying why.
    bool startRecording(const QString& path, bool overwrite);
    void stopRecording();
    bool recording() const { return recorder_.isOpen(); }
    const engine::ScanRecorder& recorder() const { return recorder_; }
    // "REC name  0:01:23  83,000 scans" while recording; empty otherwise.
    QString recordingText() const;
    // What the chart shows, as CSV (times from the span's start) or as a picture: SVG when the
    // name ends in .svg, PNG otherwise. False, with error set, when it cannot be written.
    bool exportShown(const QString& path, QString& error) const;
    bool savePicture(const QString& path, QString& error);
    // The last word on a recording that did not start or stopped on its own; null when none
    // is open.
    QMessageBox* recordingMessage() const { return failure_; }
    // The point under an x position of the plot (-1: none), and the hover readout there.
    int pointAt(double x) const;
    struct Readout {
        QString time;                                 // "-1.234 s": before the newest point
        std::vector<std::pair<int, QString>> values;  // visible trace, "CH1  1.2500 V"
    };
    Readout readoutAt(double x) const;
    // The height in the widget at which a value of the range is drawn in the plot area.
    static double yOf(double value, const std::pair<double, double>& range, const QRectF& plot);
    long paints() const { return paints_; }

    QSize sizeHint() const override { return {560, 260}; }

  protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void changeEvent(QEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    bool event(QEvent*) override;
    void leaveEvent(QEvent*) override;
    void contextMenuEvent(QContextMenuEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void showNewest() override;

  private:
    void layoutChanged();
    int columns() const;
    // Where the shown span ends: the newest shown scan's time.
    double end() const;
    void paintBackground(const std::pair<double, double>& range);
    void placeButtons();
    // Header lines for a file of scans.
    engine::ScanRecorder::Header fileHeader(const QString& what) const;
    // A recording that stopped on its own: say why, once, and go on scanning.
    void recordingFailed(const QString& why);
    void tell(const QString& title, const QString& text);
    void showRecordButton();
    // The column summary of what is shown, fitted to the plot's columns and the span (made
    // afresh from the points when either has changed since).
    const ColumnSummary& shownColumns() const;
    // The absolute column drawn at the plot's left edge.
    long firstColumn() const;

    TraceHistory live_{8, 500};
    TraceHistory snapshot_{8, 1};
    // Kept up to date scan by scan; refitted only when the plot's columns or span change.
    mutable ColumnSummary live_columns_, snapshot_columns_;
    mutable bool live_fitted_ = false, snapshot_fitted_ = false;
    // Where the legend entries and the plot lie: worked out once per size, font and naming.
    mutable std::vector<QRect> legend_;
    mutable QRectF plot_;
    engine::NumberText legend_text_;
    double span_ = 10;
    std::vector<bool> hidden_ = std::vector<bool>(8, false);
    double y_min_ = 0, y_max_ = 2.5;
    QStringList colors_, names_;
    QString unit_ = "V";
    bool frozen_ = false, autoscale_ = false, statistics_shown_ = false;
    double hover_x_ = -1;
    long paints_ = 0;
    QToolButton* freeze_ = nullptr;
    QToolButton* record_ = nullptr;
    engine::ScanRecorder recorder_;
    QTimer flush_;  // every second while recording
    QString rate_of_;
    std::function<double()> rate_;
    // The status line as it was before a failed recording added to it.
    std::optional<std::pair<std::string, engine::StatusTone>> status_before_;
    QPointer<QMessageBox> failure_;
    QImage background_;
    QImage traces_;                  // the traces' pixels, reused from frame to frame
    std::vector<QRgb> columnMajor_;  // the same, a column after another
    struct Bar {
        int column, top, bottom;
        QRgb color;
    };
    std::vector<Bar> bars_;  // this frame's column bars, reused
    std::pair<double, double> background_range_{0, 0};
    double background_span_ = 0;
};
