#include "engine/chart/strip_chart.h"

#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcut>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

const char* const kDefaultColors[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                      "#9467bd", "#8c564b", "#e377c2", "#0f8c99"};
constexpr int kMargin = 6;
constexpr double kInset = 2;

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
    connect(record_, &QToolButton::clicked, this, [this] { chooseAndRecord(); });
    auto* recordKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_R), this);
    recordKey->setContext(Qt::WindowShortcut);
    connect(recordKey, &QShortcut::activated, this, [this] { chooseAndRecord(); });
    flush_.setInterval(1000);
    connect(&flush_, &QTimer::timeout, this, [this] {
        if (!recorder_.flush()) recordingFailed(QString::fromStdString(recorder_.error()));
    });
}

void StripChart::setTraceCount(int n) {
    n = std::clamp(n, 1, engine::kMaxChartTraces);
    live_.reset(n, live_.capacity());
    live_fitted_ = false;
    snapshot_.reset(n, 1);
    hidden_.assign(static_cast<std::size_t>(n), false);
    layoutChanged();
}

void StripChart::setHistory(int points) {
    points = std::clamp(points, 2, engine::kMaxChartHistory);
    live_.reset(live_.traces(), points);
    live_fitted_ = false;
    snapshot_.reset(live_.traces(), 1);
    update();
}

void StripChart::setResolution(double r) {
    live_.reset(live_.traces(), live_.capacity(), r);
    live_fitted_ = false;
    update();
}

void StripChart::setSpan(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) return;
    span_ = seconds;
    layoutChanged();
}

void StripChart::setStatisticsShown(bool on) {
    statistics_shown_ = on;
    update();
}

std::vector<std::pair<int, QString>> StripChart::statisticsLines() const {
    std::vector<std::pair<int, QString>> lines;
    const auto stats = shown().statistics(end(), span_);
    for (int t = 0; t < traceCount(); ++t) {
        const auto& st = stats[static_cast<std::size_t>(t)];
        if (!traceVisible(t) || st.count == 0) continue;
        lines.push_back({t, QString("%1  min %2  max %3  mean %4  p-p %5 %6")
                                .arg(traceName(t))
                                .arg(st.low, 0, 'f', 4)
                                .arg(st.high, 0, 'f', 4)
                                .arg(st.mean, 0, 'f', 4)
                                .arg(st.high - st.low, 0, 'f', 4)
                                .arg(unit_)});
    }
    return lines;
}

QString StripChart::legendToolTip(int trace) const {
    for (const auto& [t, line] : statisticsLines())
        if (t == trace) return line + tr("\nover the last %1 s. Click to hide or show.").arg(span_);
    return tr("Click to hide or show %1").arg(traceName(trace));
}

bool StripChart::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        for (int t = 0; t < traceCount(); ++t) {
            if (legendEntry(t).contains(help->pos())) {
                QToolTip::showText(help->globalPos(), legendToolTip(t), this, legendEntry(t));
                return true;
            }
        }
    }
    return QWidget::event(event);
}

double StripChart::end() const {
    const TraceHistory& h = shown();
    return h.size() ? h.time(h.size() - 1) : 0;
}

void StripChart::setYMinimum(double v) {
    y_min_ = v;
    layoutChanged();
}

void StripChart::setYMaximum(double v) {
    y_max_ = v;
    layoutChanged();
}

void StripChart::setTraceColors(const QStringList& c) {
    colors_ = c;
    update();
}

void StripChart::setTraceNames(const QStringList& n) {
    names_ = n;
    layoutChanged();
}

void StripChart::setUnit(const QString& u) {
    unit_ = u;
    layoutChanged();
}

void StripChart::appendScan(const double* values, double seconds) {
    live_.append(values, seconds);
    recorder_.append(seconds, values);
    if (live_fitted_) live_columns_.add(live_.codes(live_.size() - 1), seconds);
    // Painted with the rest of the window, in the window's next display frame: the chart and
    // the indicators beside it always show the same scan.
    if (!frozen_) askForFrame();
}

void StripChart::showNewest() {
    // The plot and the legend's row; the Freeze button, which does not change, is left alone.
    const int top = static_cast<int>(plotArea().top()) - 1;
    update(QRect(0, 0, record_->geometry().left(), top));
    update(QRect(0, top, width(), height() - top));
}

QColor StripChart::traceColor(int trace) const {
    if (trace >= 0 && trace < colors_.size()) {
        const QColor c(colors_[trace]);
        if (c.isValid()) return c;
    }
    return QColor(kDefaultColors[((trace % 8) + 8) % 8]);
}

QString StripChart::traceName(int trace) const {
    return trace < names_.size() ? names_[trace] : QString("CH%1").arg(trace);
}

bool StripChart::traceVisible(int trace) const {
    return trace >= 0 && trace < traceCount() && !hidden_[static_cast<std::size_t>(trace)];
}

void StripChart::setTraceVisible(int trace, bool visible) {
    if (trace < 0 || trace >= traceCount()) return;
    hidden_[static_cast<std::size_t>(trace)] = !visible;
    update();
}

void StripChart::setFrozen(bool on) {
    if (on == frozen_) return;
    frozen_ = on;
    if (on) {  // the picture as it stands; the live data goes on beside it
        snapshot_ = live_;
        snapshot_columns_ = live_columns_;
        snapshot_fitted_ = live_fitted_;
    }
    const QSignalBlocker block(freeze_);
    freeze_->setChecked(on);
    freeze_->setText(on ? tr("Resume") : tr("Freeze"));
    update();
}

void StripChart::setAutoscale(bool on) {
    autoscale_ = on;
    update();
}

std::pair<double, double> StripChart::shownRange() const {
    if (!autoscale_) return {y_min_, y_max_};
    const ColumnSummary& columns = shownColumns();
    const long first = firstColumn();
    int low = INT_MAX, high = INT_MIN;
    for (long k = first; k < first + columns.count(); ++k) {
        if (!columns.has(k)) continue;
        for (int t = 0; t < traceCount(); ++t) {
            if (!traceVisible(t)) continue;
            low = std::min<int>(low, columns.low(k, t));
            high = std::max<int>(high, columns.high(k, t));
        }
    }
    if (low > high) return {y_min_, y_max_};  // nothing to scale to
    const engine::ChartScale scale =
        engine::NiceScale(low * shown().resolution(), high * shown().resolution());
    return {scale.low, scale.high};
}

const ColumnSummary& StripChart::shownColumns() const {
    const int count = columns();
    const double width = span_ / count;
    const TraceHistory& h = shown();
    ColumnSummary& c = frozen_ ? snapshot_columns_ : live_columns_;
    bool& fitted = frozen_ ? snapshot_fitted_ : live_fitted_;
    if (!fitted || c.count() != count || c.width() != width || c.traces() != h.traces()) {
        c.configure(h.traces(), count, width);
        c.rebuild(h);
        fitted = true;
    }
    return c;
}

long StripChart::firstColumn() const {
    const ColumnSummary& c = shownColumns();
    return c.columnOf(end()) - c.count() + 1;
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
        const int left = fm.horizontalAdvance("-0.00 " + unit_) + 2 * kMargin;
        const int right = record_->geometry().left() - kMargin;
        const int entryWidth =
            14 + fm.horizontalAdvance("WWWW 0.0000 " + unit_) + 2 * kMargin;  // values don't jiggle
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
    r.time = QString::number(h.time(i) - end(), 'f', 3) + " s";
    for (int t = 0; t < h.traces(); ++t)
        if (traceVisible(t))
            r.values.push_back(
                {t, QString("%1  %2 %3").arg(traceName(t)).arg(h.at(t, i), 0, 'f', 4).arg(unit_)});
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

void StripChart::mousePressEvent(QMouseEvent* event) {
    for (int t = 0; t < traceCount(); ++t) {
        if (legendEntry(t).contains(event->position().toPoint())) {
            setTraceVisible(t, !traceVisible(t));
            return;
        }
    }
    QWidget::mousePressEvent(event);
}

void StripChart::mouseMoveEvent(QMouseEvent* event) {
    hover_x_ = event->position().x();
    update();
}

void StripChart::leaveEvent(QEvent*) {
    hover_x_ = -1;
    update();
}

void StripChart::contextMenuEvent(QContextMenuEvent* event) {
    // Also opened from the keyboard (the menu key, or Shift+F10), with the chart focused.
    QMenu menu(this);
    QAction* fixed =
        menu.addAction(tr("&Fixed range (%1 to %2 %3)").arg(y_min_).arg(y_max_).arg(unit_));
    QAction* automatic = menu.addAction(tr("&Autoscale\tA"));
    fixed->setCheckable(true);
    automatic->setCheckable(true);
    fixed->setChecked(!autoscale_);
    automatic->setChecked(autoscale_);
    QAction* statistics = menu.addAction(tr("&Statistics of the span\tS"));
    statistics->setCheckable(true);
    statistics->setChecked(statistics_shown_);
    menu.addSeparator();
    QAction* record = menu.addAction(recording() ? tr("Stop &recording\tCtrl+R")
                                                 : tr("&Record every scan to a file...\tCtrl+R"));
    QAction* exportCsv = menu.addAction(tr("Save the shown span as &CSV..."));
    QAction* picture = menu.addAction(tr("Save the &picture (PNG or SVG)..."));
    menu.addSeparator();
    std::vector<std::pair<QAction*, double>> spans;
    for (double seconds : kSpans) {
        QAction* a = menu.addAction(seconds < 60 ? tr("Last %1 s").arg(seconds)
                                                 : tr("Last %1 min").arg(seconds / 60));
        a->setCheckable(true);
        a->setChecked(seconds == span_);
        spans.push_back({a, seconds});
    }
    menu.addSeparator();
    std::vector<QAction*> traces;
    for (int t = 0; t < traceCount(); ++t) {
        QAction* a = menu.addAction(tr("Show %1").arg(traceName(t)) +
                                    (t < 10 ? QString("\t%1").arg(t) : QString()));
        a->setCheckable(true);
        a->setChecked(traceVisible(t));
        traces.push_back(a);
    }
    const QPoint at = event->reason() == QContextMenuEvent::Mouse
                          ? event->globalPos()
                          : mapToGlobal(plotArea().center().toPoint());
    QAction* chosen = menu.exec(at);
    if (chosen == fixed) setAutoscale(false);
    if (chosen == automatic) setAutoscale(true);
    if (chosen == statistics) setStatisticsShown(!statistics_shown_);
    if (chosen == record) chooseAndRecord();
    if (chosen == exportCsv || chosen == picture) {
        const bool csv = chosen == exportCsv;
        const QString path = QFileDialog::getSaveFileName(
            this, csv ? tr("Save the shown span") : tr("Save the picture"),
            QFileInfo(defaultRecordingPath())
                .dir()
                .filePath(csv ? "zelmor-span.csv" : "zelmor-chart.png"),
            csv ? tr("CSV files (*.csv)") : tr("PNG pictures (*.png);;SVG drawings (*.svg)"));
        QString error;
        if (!path.isEmpty() && !(csv ? exportShown(path, error) : savePicture(path, error)))
            QMessageBox::warning(this, tr("Not saved"), error);
    }
    for (const auto& [action, seconds] : spans)
        if (chosen == action) setSpan(seconds);
    for (int t = 0; t < static_cast<int>(traces.size()); ++t)
        if (chosen == traces[static_cast<std::size_t>(t)]) setTraceVisible(t, !traceVisible(t));
}

void StripChart::keyPressEvent(QKeyEvent* event) {
    // With the chart focused: a digit shows or hides that trace, A switches autoscale, S the
    // statistics of the span.
    const int key = event->key();
    if (event->modifiers() == Qt::NoModifier && key >= Qt::Key_0 && key <= Qt::Key_9 &&
        key - Qt::Key_0 < traceCount()) {
        setTraceVisible(key - Qt::Key_0, !traceVisible(key - Qt::Key_0));
        return;
    }
    if (event->modifiers() == Qt::NoModifier && key == Qt::Key_A) {
        setAutoscale(!autoscale_);
        return;
    }
    if (event->modifiers() == Qt::NoModifier && key == Qt::Key_S) {
        setStatisticsShown(!statistics_shown_);
        return;
    }
    QWidget::keyPressEvent(event);
}

double StripChart::yOf(double value, const std::pair<double, double>& range, const QRectF& plot) {
    // Inset from the frame, so that a trace at either end of the range is drawn clear of it.
    const double bottom = plot.bottom() - kInset, height = plot.height() - 2 * kInset;
    const double span = range.second > range.first ? range.second - range.first : 1;
    return bottom - std::clamp((value - range.first) / span, 0.0, 1.0) * height;
}

// Everything that changes only with the size, the palette or the range: drawn once into a
// pixmap at the screen's pixel density, then copied on every frame.
void StripChart::paintBackground(const std::pair<double, double>& range) {
    const qreal dpr = devicePixelRatioF();
    // Opaque, so that the traces' image can start each frame as a copy of its plot area.
    background_ = QImage(size() * dpr, QImage::Format_RGB32);
    background_.setDevicePixelRatio(dpr);
    background_range_ = range;
    background_span_ = span_;
    QPainter p(&background_);
    p.fillRect(rect(), palette().window());
    const QRectF plot = plotArea();
    p.fillRect(plot, palette().base());
    const QFontMetrics fm(font());
    const QColor text = palette().text().color();
    QColor grid = text;
    grid.setAlphaF(0.18);
    // A grid line and a label on every 1-2-5 step inside the range.
    const engine::ChartScale scale = engine::NiceScale(range.first, range.second);
    for (double v = std::ceil(range.first / scale.step - 1e-9) * scale.step;
         v <= range.second + scale.step * 1e-9; v += scale.step) {
        const double y = yOf(v, range, plot);
        p.setPen(QPen(grid, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(palette().windowText().color());
        const double shown = std::fabs(v) < scale.step * 1e-6 ? 0.0 : v;  // no "-0.0"
        p.drawText(
            QRectF(0, y - fm.height() / 2.0, plot.left() - kMargin, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter,
            QString::number(shown, 'f', scale.decimals) + (unit_.isEmpty() ? "" : " " + unit_));
    }
    // Time: a line and a label every 1-2-5 step back from now, at the right edge.
    const engine::ChartScale time = engine::NiceScale(0, span_);
    for (double ago = 0; ago <= span_ * (1 + 1e-9); ago += time.step) {
        const double x = plot.right() - plot.width() * ago / span_;
        p.setPen(QPen(grid, 1));
        if (ago > 0) p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(palette().windowText().color());
        const QString label =
            ago == 0 ? tr("now") : "-" + QString::number(ago, 'f', time.decimals) + " s";
        const double w = fm.horizontalAdvance(label);
        p.drawText(QRectF(std::clamp(x - w / 2, 0.0, width() - w), plot.bottom() + kMargin / 2.0, w,
                          fm.height()),
                   Qt::AlignCenter, label);
    }
    p.setPen(QPen(text, 1));
    p.drawRect(plot);
}

void StripChart::paintEvent(QPaintEvent*) {
    ++paints_;
    const auto range = shownRange();
    if (background_.isNull() || background_range_ != range || background_span_ != span_ ||
        background_.devicePixelRatio() != devicePixelRatioF())
        paintBackground(range);
    QPainter p(this);
    p.drawImage(0, 0, background_);
    const QFontMetrics fm(font());

    // Legend: colour, name and live value of each trace; a hidden one is hollow and greyed.
    for (int t = 0; t < traceCount(); ++t) {
        const QRect r = legendEntry(t);
        const QRect box(r.left() + kMargin, r.center().y() - 5, 10, 10);
        const bool on = traceVisible(t);
        QColor textColor = palette().windowText().color();
        if (on) {
            p.fillRect(box, traceColor(t));
        } else {
            p.setPen(traceColor(t));
            p.drawRect(box.adjusted(0, 0, -1, -1));
            textColor.setAlphaF(0.45);
        }
        QString label = traceName(t);
        if (live_.size() > 0)
            label += QString(" %1 %2").arg(live_.at(t, live_.size() - 1), 0, 'f', 4).arg(unit_);
        p.setPen(textColor);
        legend_text_.draw(p, QRect(box.right() + 5, r.top(), r.width() - 20, r.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, label);
    }

    // Traces.
    const QRectF plot = plotArea();
    const TraceHistory& h = shown();
    const qreal dpr = devicePixelRatioF();
    const int cols = columns();
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    // Each column a bar from its lowest to its highest point, stretched to meet the column
    // before it, written straight into an image of the plot's device pixels: however dense
    // the data, that is one store per pixel. Where columns lie apart (fewer scans than
    // columns), a line joins them.
    const int rows = std::max(1, static_cast<int>(std::lround(plot.height() * dpr)));
    // A value's pixel row in the image: yOf, in device pixels from the plot's top, worked out
    // once for the frame.
    const double valueSpan = range.second > range.first ? range.second - range.first : 1;
    const double bottomRow = (plot.height() - kInset) * dpr + 0.5;
    const double rowsPerValue = (plot.height() - 2 * kInset) * dpr / valueSpan;
    auto row = [&](double v) {
        const double f = std::clamp(v - range.first, 0.0, valueSpan);
        return static_cast<int>(bottomRow - f * rowsPerValue);
    };
    bars_.clear();
    long pixels = 0;
    std::vector<QLineF> joins;
    std::vector<std::pair<QColor, std::vector<QLineF>>> joinsByTrace;
    const ColumnSummary& summary = shownColumns();
    const long first = firstColumn();
    const double step = h.resolution();
    for (int t = 0; t < h.traces(); ++t) {
        if (!traceVisible(t)) continue;
        joins.clear();
        const QRgb color = traceColor(t).rgba();
        int beforeColumn = -1;
        double beforeLow = 0, beforeHigh = 0;
        for (int column = 0; column < cols; ++column) {
            const long k = first + column;
            if (!summary.has(k)) continue;
            const double low = summary.low(k, t) * step, high = summary.high(k, t) * step;
            int top = row(high), bottom = row(low);
            if (beforeColumn == column - 1) {
                top = std::min(top, row(beforeLow));
                bottom = std::max(bottom, row(beforeHigh));
            } else if (beforeColumn >= 0) {
                joins.emplace_back((beforeColumn + 0.5) / dpr,
                                   row((beforeLow + beforeHigh) / 2) / dpr, (column + 0.5) / dpr,
                                   row((low + high) / 2) / dpr);
            }
            top = std::clamp(top, 0, rows - 1);
            bottom = std::clamp(bottom, 0, rows - 1);
            bars_.push_back({column, top, bottom, color});
            pixels += bottom - top + 1;
            beforeColumn = column;
            beforeLow = low;
            beforeHigh = high;
        }
        if (!joins.empty()) joinsByTrace.push_back({traceColor(t), joins});
    }
    if (traces_.size() != QSize(cols, rows)) traces_ = QImage(cols, rows, QImage::Format_RGB32);
    traces_.setDevicePixelRatio(dpr);
    uchar* bits = traces_.bits();
    const qsizetype stride = traces_.bytesPerLine();
    // The image starts as the background under the plot, grid and frame included, and is
    // drawn opaque: one copy, no blending.
    const int x0 = static_cast<int>(std::lround(plot.left() * dpr));
    const int y0 = static_cast<int>(std::lround(plot.top() * dpr));
    const QRgb base = palette().base().color().rgba();
    for (int y = 0; y < rows; ++y) {
        auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
        if (y0 + y < background_.height() && x0 >= 0 && y0 >= 0 && x0 + cols <= background_.width())
            std::copy_n(reinterpret_cast<const QRgb*>(background_.constScanLine(y0 + y)) + x0, cols,
                        line);
        else
            std::fill(line, line + cols, base);
    }
    if (pixels < static_cast<long>(cols) * rows) {
        // Few pixels: straight into the image, a bar's pixels a row apart.
        for (const Bar& bar : bars_)
            for (int y = bar.top; y <= bar.bottom; ++y)
                reinterpret_cast<QRgb*>(bits + y * stride)[bar.column] = bar.color;
    } else {
        // Dense data fills much of the plot: write each bar as one run in a column-major
        // buffer, then turn it into the image a tile at a time, both in memory order.
        columnMajor_.assign(static_cast<std::size_t>(cols) * rows, 0);
        for (const Bar& bar : bars_) {
            QRgb* run = columnMajor_.data() + static_cast<std::size_t>(bar.column) * rows;
            std::fill(run + bar.top, run + bar.bottom + 1, bar.color);
        }
        constexpr int kTile = 16;
        for (int ty = 0; ty < rows; ty += kTile)
            for (int tx = 0; tx < cols; tx += kTile)
                for (int y = ty; y < std::min(rows, ty + kTile); ++y) {
                    auto* line = reinterpret_cast<QRgb*>(bits + y * stride);
                    for (int x = tx; x < std::min(cols, tx + kTile); ++x)
                        if (const QRgb c = columnMajor_[static_cast<std::size_t>(x) * rows + y])
                            line[x] = c;
                }
    }
    if (!joinsByTrace.empty()) {
        QPainter onImage(&traces_);
        for (const auto& [color, lines] : joinsByTrace) {
            onImage.setPen(QPen(color, 1));
            onImage.drawLines(lines.data(), static_cast<int>(lines.size()));
        }
    }
    p.drawImage(QPointF(x0 / dpr, y0 / dpr), traces_);

    // Statistics of the span, on demand, in the top left corner.
    if (statistics_shown_) {
        const auto lines = statisticsLines();
        int w = 0;
        for (const auto& [t, line] : lines) w = std::max(w, fm.horizontalAdvance(line));
        const QRectF box(plot.left() + 6, plot.top() + 6, w + 12,
                         static_cast<double>(lines.size()) * fm.height() + 8);
        QColor back = palette().toolTipBase().color();
        back.setAlphaF(0.92);
        if (!lines.empty()) p.fillRect(box, back);
        int k = 0;
        for (const auto& [t, line] : lines) {
            p.setPen(traceColor(t));
            p.drawText(QPointF(box.left() + 6, box.top() + 4 + fm.ascent() + k++ * fm.height()),
                       line);
        }
    }

    // Recording: what, for how long, how much, at the plot's top right.
    if (recording()) {
        const QString text = recordingText();
        QRectF box(0, 0, fm.horizontalAdvance(text) + 16, fm.height() + 6);
        box.moveTopRight(QPointF(plot.right() - 6, plot.top() + 6));
        QColor back = palette().toolTipBase().color();
        back.setAlphaF(0.9);
        p.fillRect(box, back);
        p.setPen(QColor("#c9302c"));
        p.drawText(box, Qt::AlignCenter, text);
    }

    // Frozen: say so plainly over the picture.
    if (frozen_) {
        const QString banner = tr("FROZEN \u2014 Space resumes the live picture");
        QRectF box(0, 0, fm.horizontalAdvance(banner) + 16, fm.height() + 8);
        box.moveCenter(QPointF(plot.center().x(), plot.top() + box.height() / 2 + 6));
        QColor back = palette().highlight().color();
        back.setAlphaF(0.85);
        p.fillRect(box, back);
        p.setPen(palette().highlightedText().color());
        p.drawText(box, Qt::AlignCenter, banner);
    }

    // Hover: a cursor line and the values under it.
    const int i = pointAt(hover_x_);
    if (i >= 0) {
        p.setPen(QPen(palette().text().color(), 1, Qt::DashLine));
        p.drawLine(QPointF(hover_x_, plot.top()), QPointF(hover_x_, plot.bottom()));
        const Readout readout = readoutAt(hover_x_);
        int w = fm.horizontalAdvance(readout.time);
        for (const auto& [t, line] : readout.values) w = std::max(w, fm.horizontalAdvance(line));
        const int lines = 1 + static_cast<int>(readout.values.size());
        QRectF box(0, 0, w + 12, lines * fm.height() + 8);
        const bool rightSide = hover_x_ + box.width() + 12 < plot.right();
        box.moveTopLeft(
            QPointF(rightSide ? hover_x_ + 8 : hover_x_ - box.width() - 8, plot.top() + 8));
        QColor back = palette().toolTipBase().color();
        back.setAlphaF(0.92);
        p.fillRect(box, back);
        // The time first; then one line per visible trace, in its colour.
        auto line = [&](int k) {
            return QPointF(box.left() + 6, box.top() + 4 + fm.ascent() + k * fm.height());
        };
        p.setPen(palette().toolTipText().color());
        p.drawText(line(0), readout.time);
        int k = 1;
        for (const auto& [t, text] : readout.values) {
            p.setPen(traceColor(t));
            p.drawText(line(k++), text);
        }
    }
}
