#include "engine/chart/strip_chart.h"

#include <QEvent>
#include <QShortcut>
#include <QToolButton>
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"

namespace {

// Sixteen colours told apart at a glance, as many as a chart may have traces.
const char* const kDefaultColors[engine::kMaxChartTraces] = {
    "#2f80c4", "#e0392f", "#2b8a2b", "#c2610c", "#9462c9", "#9a6b52", "#c2479c", "#0f8c99",
    "#bcbd22", "#7f7f7f", "#393b79", "#637939", "#8c6d31", "#843c39", "#7b4173", "#17becf"};

}  // namespace

StripChart::StripChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(240, 140);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);  // Tab reaches it: its menu and keys need no mouse

    freeze_ = new QToolButton(this);
    freeze_->setText(tr("Freeze"));
    freeze_->setCheckable(true);
    freeze_->setToolTip(tr("Hold the picture while acquisition goes on (Space)"));
    freeze_->setFocusPolicy(Qt::NoFocus);
    connect(freeze_, &QToolButton::toggled, this, &StripChart::setFrozen);
    auto* space = new QShortcut(QKeySequence(Qt::Key_Space), this);
    space->setContext(Qt::WindowShortcut);
    connect(space, &QShortcut::activated, this, [this] { setFrozen(!frozen_); });

    record_ = new QToolButton(this);
    record_->setCheckable(true);
    record_->setFocusPolicy(Qt::NoFocus);
    showRecordButton();
    connect(record_, &QToolButton::clicked, this, &StripChart::requestRecording);
    auto* recordKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    recordKey->setContext(Qt::WindowShortcut);
    connect(recordKey, &QShortcut::activated, this, &StripChart::requestRecording);
    resolveChannels();  // a chart made in code has its traces' channels as one from a resource
}

void StripChart::setTraceCount(int n) {
    n = std::clamp(n, 1, engine::kMaxChartTraces);
    live_.reset(n, live_.capacity());
    live_fitted_ = held_ = false;
    snapshot_.reset(n, 1);
    hidden_.assign(static_cast<std::size_t>(n), false);
    resolveChannels();
    configureTrigger(trigger_.setup());  // off when its channel is gone
}

void StripChart::setHistory(int points) {
    points = std::clamp(points, engine::kMinChartHistory, engine::kMaxChartHistory);
    live_.reset(live_.traces(), points);
    live_fitted_ = held_ = false;
    snapshot_.reset(live_.traces(), 1);
    update();
}

void StripChart::setResolution(double r) {
    if (std::isnan(r)) return;
    r = std::clamp(r, engine::kMinChartResolution, engine::kMaxChartResolution);
    live_.reset(live_.traces(), live_.capacity(), r);
    live_fitted_ = held_ = false;
    configureTrigger(trigger_.setup());
    update();
}

void StripChart::setSpan(double seconds) {
    if (std::isnan(seconds)) return;
    const engine::ChartSetup before = setup();
    span_ = std::clamp(seconds, engine::kMinChartSpan, engine::kMaxChartSpan);
    if (frozen_) {  // the window, at its right edge; live again, the same span
        live_span_ = span_;
        view_.zoom(view_.span() / span_, view_.end());
        span_ = view_.span();
    }
    changedSetup(before);
}

void StripChart::setStatisticsShown(bool on) {
    statistics_shown_ = on;
    update();
}

std::vector<std::pair<int, QString>> StripChart::statisticsLines() const {
    std::vector<std::pair<int, QString>> lines;
    const auto [end, span] = statisticsSpan();
    const auto stats = shown().statistics(end, span);
    for (int t = 0; t < traceCount(); ++t) {
        const auto& st = stats[static_cast<std::size_t>(t)];
        if (!traceVisible(t) || st.count == 0) continue;
        const auto [low, high] = valuesOf(t, st.low, st.high);
        lines.push_back({t, QString("%1  min %2  max %3  mean %4  sd %5  p-p %6 %7")
                                .arg(traceName(t))
                                .arg(low, 0, 'f', 4)
                                .arg(high, 0, 'f', 4)
                                .arg(valueOf(t, st.mean), 0, 'f', 4)
                                .arg(st.deviation * std::fabs(channel(t).gain), 0, 'f', 4)
                                .arg(high - low, 0, 'f', 4)
                                .arg(traceUnit(t))});
    }
    return lines;
}

QString StripChart::legendToolTip(int trace) const {
    for (const auto& [t, line] : statisticsLines())
        if (t == trace) return line + tr("\nover the last %1 s. Click to hide or show.").arg(span_);
    return tr("Click to hide or show %1").arg(traceName(trace));
}

double StripChart::shownEnd() const {
    if (frozen_) return view_.end();
    if (held_) return held_end_;
    const TraceHistory& h = shown();
    return h.size() ? h.time(h.size() - 1) : 0;
}
// Each end held within reach; the range they make is held wide enough where it is drawn
// (shownRange), as the two ends are set one after the other.
void StripChart::setYMinimum(double v) {
    if (std::isnan(v)) return;
    y_min_ = std::clamp(v, -engine::kMaxChartValue, engine::kMaxChartValue);
    layoutChanged();
}

void StripChart::setYMaximum(double v) {
    if (std::isnan(v)) return;
    y_max_ = std::clamp(v, -engine::kMaxChartValue, engine::kMaxChartValue);
    layoutChanged();
}

void StripChart::setTraceColors(const QStringList& c) {
    colors_ = c;
    update();
}

void StripChart::setTraceNames(const QStringList& n) {
    names_ = n;
    resolveChannels();
}

void StripChart::setUnit(const QString& u) {
    unit_ = u;
    resolveChannels();
}

void StripChart::appendScan(const double* values, double seconds, TraceHistory::Before before) {
    if (std::isnan(origin_)) origin_ = seconds;
    live_.append(values, seconds, before);
    if (live_fitted_)
        live_columns_.add(live_.codes(live_.size() - 1), seconds,
                          before != TraceHistory::Before::scans);
    if (triggering_) feedTrigger(seconds);
    // Painted with the rest of the window, in the window's next display frame: the chart and
    // the indicators beside it always show the same scan.
    if (!frozen_) askForFrame();
}

void StripChart::showNewest() {
    // The legend's entries whose values changed, and the plot: the labels, the buttons and the
    // margins do not change.
    for (int t = 0; t < traceCount(); ++t)
        if (static_cast<std::size_t>(t) >= legend_painted_.size() ||
            legendCode(t) != legend_painted_[static_cast<std::size_t>(t)])
            update(legendEntry(t));
    update(plotArea().toAlignedRect().adjusted(-1, -1, 1, 1));
}

QColor StripChart::traceColor(int trace) const {
    if (trace >= 0 && trace < colors_.size()) {
        const QColor c(colors_[trace]);
        if (c.isValid()) return c;
    }
    return QColor(kDefaultColors[((trace % engine::kMaxChartTraces) + engine::kMaxChartTraces) %
                                 engine::kMaxChartTraces]);
}

QString StripChart::traceName(int trace) const {
    if (trace >= 0 && trace < channel_names_.size()) return channel_names_[trace];
    return trace < names_.size() ? names_[trace] : QString("CH%1").arg(trace);
}

bool StripChart::traceVisible(int trace) const {
    return trace >= 0 && trace < traceCount() && !hidden_[static_cast<std::size_t>(trace)];
}

void StripChart::setTraceVisible(int trace, bool visible) {
    if (trace < 0 || trace >= traceCount() || traceVisible(trace) == visible) return;
    const engine::ChartSetup before = setup();
    hidden_[static_cast<std::size_t>(trace)] = !visible;
    changedSetup(before);
}

void StripChart::setFrozen(bool on) {
    if (on == frozen_ || viewing_) return;
    frozen_ = on;
    if (on) {  // the picture as it stands; the live data goes on beside it
        snapshot_ = live_;
        snapshot_columns_ = live_columns_;
        snapshot_fitted_ = live_fitted_;
    }
    viewFrozen(on);
    const QSignalBlocker block(freeze_);
    freeze_->setChecked(on);
    freeze_->setText(on ? tr("Resume") : tr("Freeze"));
    update();
}

void StripChart::viewHistory(TraceHistory history) {
    setTraceCount(history.traces());
    setResolution(history.resolution());
    const double whole = history.size() ? history.time(history.size() - 1) - history.time(0) : 0;
    snapshot_ = std::move(history);
    snapshot_fitted_ = false;
    span_ = std::max(whole * 1.02, engine::kMinChartSpan);
    frozen_ = viewing_ = true;
    origin_ = 0;  // a file's times count from its start
    viewFrozen(true);
    freeze_->hide();
    record_->hide();
}

const ColumnSummary& StripChart::shownColumns() const {
    const int count = columns();
    const double width = span_ / count;
    const TraceHistory& h = shown();
    if (held_ && !frozen_) {
        if (held_columns_.count() == count && held_columns_.width() == width) return held_columns_;
        held_ = false;  // the window no longer fits the plot: live until the next firing
    }
    ColumnSummary& c = frozen_ ? snapshot_columns_ : live_columns_;
    bool& fitted = frozen_ ? snapshot_fitted_ : live_fitted_;
    if (!fitted || c.count() != count || c.width() != width || c.traces() != h.traces() ||
        (frozen_ && snapshot_end_ != shownEnd())) {
        c.configure(h.traces(), count, width);
        if (frozen_) {  // the window on the history, wherever it lies
            SummariseView(c, h, view_blocks_, shownEnd());
            snapshot_end_ = shownEnd();
        } else {
            h.summarise(c);
        }
        fitted = true;
        ++refits_;
    }
    return c;
}

long StripChart::firstColumn() const {
    const ColumnSummary& c = shownColumns();
    return c.columnOf(shownEnd()) - c.count() + 1;
}

void StripChart::layoutChanged() {
    background_ = QImage();
    legend_.clear();
    update();
}

QRect StripChart::legendEntry(int trace) const {
    if (trace < 0 || trace >= traceCount()) return {};
    if (legend_.size() != static_cast<std::size_t>(traceCount())) {
        const QFontMetrics fm(font());
        // Room for the value labels and for each entry's name and value (the values do not
        // jiggle): as much as the plain volts need, more for longer names, units or numbers.
        int label = fm.horizontalAdvance("-0.00 " + unit_);
        int entry = fm.horizontalAdvance("WWWW 0.0000 " + unit_);
        for (int t = 0; t < traceCount(); ++t) {
            const engine::ChannelSetup& c = channel(t);
            if (!c.calibrated() && traceUnit(t) == unit_) continue;
            label = std::max(label, fm.horizontalAdvance("-000.00 " + traceUnit(t)));
            entry =
                std::max(entry, fm.horizontalAdvance(traceName(t) + " -000.0000 " + traceUnit(t)));
        }
        for (int t = 0; t < traceCount(); ++t)
            entry = std::max(entry, fm.horizontalAdvance(traceName(t) + " 0.0000 " + traceUnit(t)));
        const int left = label + 2 * kMargin;
        const int right = record_->geometry().left() - kMargin;
        const int entryWidth = 14 + entry + 2 * kMargin;
        const int perRow = std::max(1, (right - left) / entryWidth);
        legend_.clear();
        for (int t = 0; t < traceCount(); ++t) {
            const int row = t / perRow, col = t % perRow;
            legend_.push_back(QRect(left + col * entryWidth, kMargin + row * (fm.height() + 4),
                                    entryWidth, fm.height() + 2));
        }
        const int legendBottom =
            std::max(legend_.back().bottom(),
                     std::max(freeze_->geometry().bottom(), record_->geometry().bottom()));
        // Whole pixels, so that the plot's image lies on the background's pixels.
        const double top = std::floor(legendBottom + kMargin + fm.height() / 2.0);
        plot_ = QRectF(left, top, width() - left - 2 * kMargin,
                       height() - top - fm.height() - 2 * kMargin);
    }
    return legend_[static_cast<std::size_t>(trace)];
}

QRectF StripChart::plotArea() const {
    legendEntry(0);  // works both out when the layout has changed
    return plot_;
}

int StripChart::columns() const {
    return std::max(1, static_cast<int>(std::lround(plotArea().width() * devicePixelRatioF())));
}

int StripChart::pointAt(double x) const {
    const QRectF plot = plotArea();
    const TraceHistory& h = shown();
    if (x < plot.left() || x >= plot.right() || h.size() == 0) return -1;
    // The newest point taken in the column under x or left of it, within the picture.
    const ColumnSummary& c = shownColumns();
    const long first = firstColumn();
    const long k = first + static_cast<long>((x - plot.left()) * devicePixelRatioF());
    const int i = h.firstAtOrAfter((k + 1) * c.width()) - 1;
    return i >= 0 && c.columnOf(h.time(i)) >= first ? i : -1;
}

StripChart::Readout StripChart::readoutAt(double x) const {
    Readout r;
    const int i = pointAt(x);
    if (i < 0) return r;
    const TraceHistory& h = shown();
    r.time = QString::number(h.time(i) - (frozen_ ? timeOrigin() : shownEnd()), 'f', 3) + " s";
    for (int t = 0; t < h.traces(); ++t)
        if (traceVisible(t))
            r.values.push_back({t, QString("%1  %2 %3")
                                       .arg(traceName(t))
                                       .arg(valueOf(t, h.at(t, i)), 0, 'f', 4)
                                       .arg(traceUnit(t))});
    return r;
}

void StripChart::resizeEvent(QResizeEvent*) {
    placeButtons();
}

void StripChart::placeButtons() {
    const QSize freeze = freeze_->sizeHint(), record = record_->sizeHint();
    freeze_->setGeometry(width() - kMargin - freeze.width(), kMargin, freeze.width(),
                         freeze.height());
    record_->setGeometry(freeze_->geometry().left() - kMargin - record.width(), kMargin,
                         record.width(), record.height());
    layoutChanged();
}

void StripChart::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange ||
        event->type() == QEvent::StyleChange)
        layoutChanged();
    QWidget::changeEvent(event);
}

double StripChart::yOf(double value, const std::pair<double, double>& range, const QRectF& plot) {
    // Inset from the frame, so that a trace at either end of the range is drawn clear of it.
    const double bottom = plot.bottom() - kInset, height = plot.height() - 2 * kInset;
    const double span = range.second > range.first ? range.second - range.first : 1;
    return bottom - std::clamp((value - range.first) / span, 0.0, 1.0) * height;
}

std::optional<double> StripChart::requestedRate() const {
    if (!rate_) return std::nullopt;
    return rate_();
}

engine::RecordingFacts StripChart::fileFacts() const {
    engine::RecordingFacts facts = facts_ ? facts_() : engine::RecordingFacts{};
    facts.requestedRate = requestedRate();
    facts.traces = traceCount();
    facts.unit = unit_.toStdString();
    facts.channels = channels_;
    return facts;
}

void StripChart::showRecording(const QString& path) {
    recording_to_ = path;
    showRecordButton();
    update();
}

void StripChart::requestRecording() {
    showRecordButton();  // as it was until the engine says otherwise
    emit recordRequested();
}

void StripChart::showRecordButton() {
    const QSignalBlocker block(record_);
    record_->setChecked(recordingShown());
    record_->setText(recordingShown() ? tr("\u25A0 Stop") : tr("\u25CF Record"));
    record_->setToolTip(recordingShown() ? tr("Recording to %1 (Ctrl+R stops)").arg(recording_to_)
                                         : tr("Record every scan to a CSV file (Ctrl+R)"));
    placeButtons();
}
