// The strip chart: one trace per input, scrolling left, newest scan at the right edge.
// Appending is O(1) and never paints; the chart is painted with its window, in the window's
// display frames (at most 60 a second whatever the scan rate), drawing per pixel column the
// lowest and highest point that falls there. A legend shows each trace's colour, name and live
// value (a click hides or shows the trace); Space or the Freeze button holds the picture while
// the data goes on; hovering reads out the time and the values under the cursor.
//
// Its menu (right-click, or the menu key with the chart focused) switches between the
// resource's fixed range and autoscale, shows the statistics of the span, asks for a recording
// (as the Record button and Ctrl+R do), saves the shown span as CSV or the picture as PNG or
// SVG, chooses the span, and shows or hides each trace. The chart itself does not record: it
// asks for a recording with recordRequested(), and shows the one the engine keeps beside it
// (the button's state and the REC badge).
//
// Each trace is a channel in the operator's terms: a name, a unit and a calibration from the
// volts the history keeps (chart_channels.cpp). The traces share one axis or lie in a lane
// each, on the fixed range, autoscaled or a range set by hand (chart_lanes.cpp).
//
// Painting is in chart_painting.cpp, the operator's input in chart_input.cpp, saving in
// chart_export.cpp.
#pragma once

#include <QDateTime>
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "engine/channels.h"
#include "engine/chart/chart_setup.h"
#include "engine/chart/chart_view.h"
#include "engine/chart/code_statistics.h"
#include "engine/chart/column_summary.h"
#include "engine/chart/cursors.h"
#include "engine/chart/level_trigger.h"
#include "engine/chart/trace_history.h"
#include "engine/display/number_text.h"
#include "engine/display/shown_per_frame.h"
#include "engine/recording/recording_session.h"

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
    // traceCount() of them. `before`: whether a hole in the scans came before it.
    void appendScan(const double* values, double seconds,
                    TraceHistory::Before before = TraceHistory::Before::scans);
    const TraceHistory& data() const { return live_; }
    // What the picture shows: the live data, or the snapshot taken when it froze.
    const TraceHistory& shown() const { return frozen_ ? snapshot_ : live_; }
    // When the newest shown scan was taken: where the shown span ends.
    double shownEnd() const;

    // Scans taken from `from` to `to` seconds are not to be taken for data (the converter was
    // not answering): drawn hatched over the plot. Marking again from the same `from` widens
    // that mark; the oldest of kSuspectMarks are let go.
    void markSuspect(double from, double to);
    const std::vector<std::pair<double, double>>& suspectSpans() const { return suspect_; }
    static constexpr std::size_t kSuspectMarks = 64;

    // A note the operator wrote at `seconds` (the chart's clock): a small flag at the top of
    // the plot there, live, frozen and in pictures, its text beside it where there is room
    // (pointing at the flag shows it whole). The newest kNotes are kept, in time order, each
    // at most kNoteLength characters.
    struct Note {
        double seconds;
        QString text;
    };
    void addNote(double seconds, const QString& text);
    const std::vector<Note>& notes() const { return notes_; }
    static constexpr std::size_t kNotes = 1000;
    static constexpr int kNoteLength = 200;
    // The note whose flag lies under an x position of the plot; none: nullptr.
    const Note* noteAt(double x) const;

    // Each trace's colour: the resource's, else one of 16 distinct defaults.
    QColor traceColor(int trace) const;
    QString traceName(int trace) const;
    bool traceVisible(int trace) const;
    void setTraceVisible(int trace, bool visible);
    bool frozen() const { return frozen_; }
    void setFrozen(bool on);
    // A recording read back: shown frozen, whole, for good (no live data, no Freeze or Record).
    void viewHistory(TraceHistory history);
    bool viewing() const { return viewing_; }
    // Frozen: the window on the history (the wheel zooms it around the pointer, a drag or the
    // arrow keys pan it; + and - zoom around its middle), and the time the chart's scans
    // count from there: its first scan (a recording's start).
    const ChartView& view() const { return view_; }
    void zoomView(double factor, double at);
    void panView(double seconds);
    double timeOrigin() const;
    // The scan the legend reads: live, the newest; frozen, the one at the right edge, or at the
    // cursor placed last.
    int legendPoint() const;
    // Frozen: two cursors (a double-click, or C, places one; Shift+Left/Right moves the one
    // placed last by a pixel column; Escape takes them away). With both placed, the statistics
    // are of the interval between them, and cursorLines() are drawn over the plot:
    // "1: 12.345 s  2: 13.456 s  dt 1.111 s  1/dt 0.900 Hz", then for each visible trace
    // "CH1  1.2500 V  1.5000 V  dV 0.2500 V".
    const CursorPair& cursors() const { return cursors_; }
    void placeCursor(double seconds);
    QStringList cursorLines() const;
    bool autoscale() const { return range_mode_ == engine::ChartRange::autoscale; }
    void setAutoscale(bool on);

    // One channel per trace, in trace order; a missing or refused one (CheckChannel) is the
    // trace's name in volts, gain 1, offset 0. The history keeps volts: only what is shown
    // and saved goes through the calibration.
    void setChannels(const std::vector<engine::ChannelSetup>& channels);
    std::vector<engine::ChannelSetup> channels() const { return channels_; }
    const engine::ChannelSetup& channel(int trace) const;
    QString traceUnit(int trace) const;
    // The span, the range, the lanes and the hidden traces, as a settings file keeps them.
    engine::ChartSetup setup() const;
    void applySetup(const engine::ChartSetup& setup);
    engine::ChartRange rangeMode() const { return range_mode_; }
    void setRangeMode(engine::ChartRange mode);
    // Ranges by hand, in the traces' unit: finite, low below high, within kMaxChartValue and
    // at least kMinChartRange wide; any other is ignored. Drawn while the range is by hand.
    void setManualRange(std::pair<double, double> range);
    void setLaneRange(int trace, std::pair<double, double> range);
    bool lanes() const { return lanes_; }
    void setLanes(bool on);
    // Each trace's vertical range drawn now (all the same on one axis), and the part of the
    // plot it is drawn in: its lane, or the whole plot.
    std::vector<std::pair<double, double>> shownRanges() const;
    QRectF laneArea(int trace) const;
    // Statistics of the shown span, per visible trace, drawn over the plot when on:
    // "CH1  min 0.2500  max 2.2500  mean 1.2500  sd 0.0100  p-p 2.0000 V", in each trace's
    // unit (sd: the standard deviation).
    bool statisticsShown() const { return statistics_shown_; }
    void setStatisticsShown(bool on);
    std::vector<std::pair<int, QString>> statisticsLines() const;
    // What pointing at a legend entry tells: that trace's statistics of the span.
    QString legendToolTip(int trace) const;
    // The vertical range drawn now: the one axis's, in lanes the first shown lane's.
    std::pair<double, double> shownRange() const;

    // The level trigger on one channel (chart_trigger.cpp); a setup CheckTrigger refuses is
    // ignored. Each scan feeds it, unless it is off. A firing at tf is shown once the scans
    // reach tf + (1 - position) * span, with the firing at `position` of the width: single
    // freezes the picture there and disarms (rearmTrigger() resumes and arms again); normal
    // holds that window until the next firing's is complete (firings meanwhile are ignored),
    // while the data and any recording go on.
    void setTrigger(const engine::TriggerSetup& setup);
    engine::TriggerSetup trigger() const { return trigger_.setup(); }
    void rearmTrigger();
    bool triggerArmed() const { return trigger_.armed(); }
    // The firing whose window is shown; none before the first.
    std::optional<double> shownFiring() const { return shown_firing_; }
    // The badge near the FROZEN banner: "TRIG armed", "TRIG single", "TRIG normal"; empty
    // when off.
    QString triggerBadge() const;
    // The code statistics of each trace over the statistics' span (the window, or between the
    // cursors), for the statistics window; worked out when asked.
    std::vector<engine::CodeStatistics> spanCodeStatistics() const;
    // The tools the menu opens (chart_tools.cpp): the channels' names, units and calibrations
    // (with the two-point helper on the newest scans), the range by hand (on one axis, or of the
    // lane at `at`), the trigger, and the converter statistics of the statistics' span.
    void editChannels();
    void editRange(QPointF at);
    void editTrigger();
    void showCodeStatistics();

    // Where things are, for the operator's clicks and for tests.
    QRectF plotArea() const;
    QRect legendEntry(int trace) const;
    QToolButton* freezeButton() const { return freeze_; }
    QToolButton* recordButton() const { return record_; }

    // The recording beside the chart. `rateOf` names the timer that paces the scans; the
    // engine binds its rate once the panel is loaded, and calls rateChanged() when it changes.
    QString rateOf() const { return rate_of_; }
    void setRateOf(const QString& name) { rate_of_ = name; }
    void bindRate(std::function<double()> rate) { rate_ = std::move(rate); }
    std::optional<double> requestedRate() const;
    // Shows a recording running to `path` (empty: none): the button reads "■ Stop".
    void showRecording(const QString& path);
    bool recordingShown() const { return !recording_to_.isEmpty(); }
    // The REC badge's text, asked for at every paint; empty: no badge.
    void setBadge(std::function<QString()> text) { badge_ = std::move(text); }
    // The facts for a file's header that only the engine knows (the program, the port and its
    // back end); the chart adds its traces, unit and rate.
    void setFileFacts(std::function<engine::RecordingFacts()> facts) { facts_ = std::move(facts); }
    engine::RecordingFacts fileFacts() const;

    // What the chart shows, as CSV (times from the span's start) or as a picture: SVG when the
    // name ends in .svg, PNG otherwise. False, with error set, when it cannot be written.
    // A picture is of the plot, its axes and legend, with pictureCaption() below (no buttons,
    // badges or hover box), at the chart's size or a fixed kPictureSize.
    bool exportShown(const QString& path, QString& error) const;
    bool savePicture(const QString& path, QString& error, bool fixedSize = false);
    static constexpr QSize kPictureSize{1600, 900};
    // The picture at `size` (empty: the chart's size and the caption's), and its caption: the
    // program and version, the port and back end, the date and time of the span, the rate.
    QImage picture(QSize size = {});
    QStringList pictureCaption() const;
    // When a recording viewed began, from its header, for the caption of its pictures.
    void setViewedStart(const QDateTime& started) { viewed_start_ = started; }

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

  signals:
    // The operator asked to start or stop recording (Record, Ctrl+R, the menu).
    void recordRequested();
    // The pacing timer's rate changed, in scans a second.
    void rateChanged(double scansPerSecond);
    // The operator asked to write a note (N, or the menu) while a recording runs.
    void noteRequested();
    // The trigger fired at `seconds` (the chart's clock): "CH1 rising through 1.25 V".
    void triggerFired(double seconds, QString what);
    // The setup, the channels or the trigger changed, by the operator's hand or a setter.
    void setupChanged();

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
    void wheelEvent(QWheelEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void showNewest() override;

  private:
    // Painting, in layers: what changes only with the size and range, the legend, the traces,
    // and what lies over them.
    // What the background and the traces are drawn to: each trace's range, and its lane
    // (0 on one axis; -1 hidden in lanes) of `bands`.
    struct Scales {
        std::vector<std::pair<double, double>> ranges;
        std::vector<int> lane;
        int bands = 1;
        QString unit;  // the one axis's, when the traces shown share it
        bool operator==(const Scales& o) const {
            return ranges == o.ranges && lane == o.lane && bands == o.bands && unit == o.unit;
        }
        bool operator!=(const Scales& o) const { return !(*this == o); }
    };
    Scales scales() const;
    QRectF band(const Scales& scales, int trace) const;
    void paintValueAxis(QPainter& p, const std::pair<double, double>& range, const QRectF& area,
                        const QString& unit, bool sparse);
    void paintBackground(const Scales& scales);
    void paintLegend(QPainter& p, const QRegion& asked);
    QString legendLabel(int trace) const;  // its name and, live or at the cursor, its value
    // The code of the value an entry shows: between frames only the value changes an entry's
    // text (a new name, unit, calibration or resolution repaints the whole chart).
    int legendCode(int trace) const;
    // Outside every 16-bit code: no value shown yet, and not known to be on the screen.
    static constexpr int kNoLegendCode = std::numeric_limits<int>::min() + 1;
    static constexpr int kUnknownLegendCode = std::numeric_limits<int>::min();
    void paintTraces(QPainter& p, const Scales& scales);
    void paintOverlays(QPainter& p);
    void paintSuspect(QPainter& p, const QRectF& plot);
    void paintNotes(QPainter& p, const QRectF& plot);
    void paintTrigger(QPainter& p, const QRectF& plot);
    void feedTrigger(double seconds);
    void triggerWindowComplete();
    void configureTrigger(const engine::TriggerSetup& setup);
    double xOfTime(double seconds) const;
    // Frozen: the time axis counting from timeOrigin(), and the overview strip
    // (chart_view_painting.cpp).
    void paintFrozenTimeAxis(QPainter& p, const QRectF& plot, const QColor& grid);
    void paintOverview(QPainter& p);
    void paintCursors(QPainter& p, const QRectF& plot);
    // The end and length of the span the statistics are of: the window, or the cursors'.
    std::pair<double, double> statisticsSpan() const;
    // Zoom and pan from the keys and the mouse, when frozen (chart_view_input.cpp); true when
    // taken.
    bool viewKey(QKeyEvent* event);
    bool viewDrag(QMouseEvent* event, bool press);
    void viewFrozen(bool on);
    // Draws the picture of `size` (as picture()) with `p` (chart_picture.cpp).
    void paintPicture(QPainter& p, QSize size);
    QSize pictureSize() const;
    // A box over the plot: its background, then lines of text, each in its colour, `pad`
    // pixels in from its edges. `place` puts a box of the size given.
    struct OverlayLine {
        QString text;
        QColor color;
    };
    void paintOverlayBox(QPainter& p, const std::vector<OverlayLine>& lines, QColor back,
                         QSizeF pad, const std::function<QPointF(QSizeF)>& place) const;

    void layoutChanged();
    int columns() const;
    void placeButtons();
    void showRecordButton();
    void requestRecording();
    // Asks for a file name and saves the span (csv) or the picture there.
    void saveFromMenu(bool csv);
    // The column summary of what is shown, fitted to the plot's columns and the span (made
    // afresh from the points when either has changed since).
    const ColumnSummary& shownColumns() const;
    // The absolute column drawn at the plot's left edge.
    long firstColumn() const;

    static constexpr int kMargin = 6;
    static constexpr double kInset = 2;  // a trace at either end of the range clears the frame

    TraceHistory live_{8, 500};
    TraceHistory snapshot_{8, 1};
    // Kept up to date scan by scan; refitted only when the plot's columns or span change.
    mutable ColumnSummary live_columns_, snapshot_columns_;
    mutable bool live_fitted_ = false, snapshot_fitted_ = false;
    // Where the legend entries and the plot lie: worked out once per size, font and naming.
    mutable std::vector<QRect> legend_;
    mutable QRectF plot_;
    engine::NumberText legend_text_;
    std::vector<int> legend_painted_;  // each entry's legendCode as last painted whole
    double span_ = 10;
    std::vector<bool> hidden_ = std::vector<bool>(8, false);
    double y_min_ = 0, y_max_ = 2.5;
    QStringList colors_, names_;
    QString unit_ = "V";
    bool frozen_ = false, statistics_shown_ = false, viewing_ = false, lanes_ = false;
    engine::ChartRange range_mode_ = engine::ChartRange::fixed;
    std::pair<double, double> manual_{0, 2.5};
    std::vector<std::pair<double, double>> lane_ranges_;
    // As given (nothing: the trace's default), and as used, one per trace.
    std::vector<std::optional<engine::ChannelSetup>> given_channels_;
    std::vector<engine::ChannelSetup> channels_;
    QStringList channel_names_, channel_units_;
    void resolveChannels();
    // A trace's value in its unit from the volts kept, and the lowest and highest of two.
    double valueOf(int trace, double volts) const { return channel(trace).value(volts); }
    std::pair<double, double> valuesOf(int trace, double a, double b) const;
    // The fixed range of a trace: the resource's, through its calibration.
    std::pair<double, double> fixedRange(int trace) const;
    void changedSetup(const engine::ChartSetup& before);
    double hover_x_ = -1;
    std::vector<std::pair<double, double>> suspect_;
    std::vector<Note> notes_;
    engine::LevelTrigger trigger_;
    bool triggering_ = false;  // not off: each scan feeds the trigger
    // A firing at trigger_at_ waits for the scans to reach trigger_wait_ (NaN: none waits).
    double trigger_at_ = 0, trigger_wait_ = std::numeric_limits<double>::quiet_NaN();
    std::optional<double> shown_firing_;
    // Normal mode: the window of the last firing, held while the live data goes on (the live
    // columns as they stood then); let go when the plot's columns change.
    mutable bool held_ = false;
    double held_end_ = 0;
    ColumnSummary held_columns_;
    long paints_ = 0;
    QToolButton* freeze_ = nullptr;
    QToolButton* record_ = nullptr;
    QString rate_of_;
    std::function<double()> rate_;
    QString recording_to_;
    std::function<QString()> badge_;
    std::function<engine::RecordingFacts()> facts_;
    QImage background_;
    Scales background_scales_;
    double background_span_ = 0;
    QRect background_plot_;  // the plot's pixels it was drawn around
    long backgrounds_ = 0;   // backgrounds drawn: the traces over an older one are drawn anew
    // Down every plot column the background is the same (the base, the value lines, the
    // frame's top) except where a time line or the frame's left edge crosses: those columns,
    // which stay put while the traces scroll past them, are laid over the traces each frame.
    std::vector<QRgb> plotColumn_;
    std::vector<int> timeColumns_;
    std::vector<int> timeSlots_;  // where each lies in the ring this frame
    QImage patch_;                // one time column with the traces through it
    mutable long refits_ = 0;     // column summaries made afresh

    // The traces' pixels on the plot's background, one image column per plot column, kept
    // from frame to frame as a ring: column k lies in image column (k - origin) mod width. A
    // frame draws only the columns that changed since the last (the one then newest and those
    // after it) and shows the ring cut where the oldest shown column lies, so the picture
    // scrolls without a pixel being moved.
    struct TraceRing {
        QImage image;
        long origin = 0, first = LONG_MIN, newest = LONG_MIN;
        bool joined = false;  // lines join columns: they may cross columns without points
        // What its pixels were drawn for: when any of it changes, all are drawn afresh.
        Scales scales;
        const ColumnSummary* summary = nullptr;
        long refits = -1, backgrounds = -1;
        std::vector<QRgb> colors;  // each trace's, 0 when hidden
        int slot(long k) const {
            const long w = image.width();
            return static_cast<int>(((k - origin) % w + w) % w);
        }
    } ring_;
    struct Bar {
        int column, top, bottom;
        QRgb color;
    };
    ChartView view_;
    CursorPair cursors_;
    bool picture_ = false;  // drawing a picture: no badges, no hover box, no overview
    QDateTime viewed_start_;
    ViewBlocks view_blocks_;
    double live_span_ = 10, origin_ = std::numeric_limits<double>::quiet_NaN(), drag_x_ = -1;
    mutable double snapshot_end_ = 0, background_end_ = 0;
    std::vector<Bar> bars_;          // this frame's column bars, reused
    std::vector<QRgb> columnMajor_;  // a whole ring's bars, a column after another
    std::vector<std::pair<QColor, std::vector<QLineF>>> joins_;
    // The plot's pixels in the widget's device pixels.
    QRect plotPixels() const;
    // Fills bars_ and joins_ with columns `from` to `to` of the summary; false when a join
    // (a line over columns without points) reaches into them.
    bool collectBars(const ColumnSummary& summary, long from, long to, long first,
                     const Scales& scales, const std::vector<QRgb>& colors);
    void paintAroundPlot(QPainter& p, const QRegion& asked);
    void findTimeColumns();
};
