// Painting the strip chart, in layers: the background (grid, labels, frame) drawn once per
// size and range, the legend above the plot, and the traces written straight into an image of
// the plot's pixels. What lies over them is in chart_overlays.cpp.
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"
#include "engine/chart/strip_chart.h"

namespace {

// How many grid lines lie on the steps from the first, `steps` steps long: never more than
// a plot holds, whatever the numbers.
int gridLines(double steps) {
    const double lines = std::floor(steps + 1e-9) + 1;
    return lines >= 1 ? static_cast<int>(std::min(lines, double{engine::kMaxChartGridLines})) : 0;
}

}  // namespace

void StripChart::paintEvent(QPaintEvent* event) {
    ++paints_;
    const Scales scales = this->scales();
    if (background_.isNull() || background_scales_ != scales || background_span_ != span_ ||
        (frozen_ && background_end_ != shownEnd()) ||
        background_.devicePixelRatio() != devicePixelRatioF() ||
        background_.size() != size() * devicePixelRatioF() ||  // resized while hidden
        background_plot_ != plotPixels())  // the legend or the overview moved the plot
        paintBackground(scales);
    QPainter p(this);
    paintAroundPlot(p, event->region());
    // The legend before the traces: drawn after them, a paint of ten minutes' data was
    // measured a quarter slower.
    paintLegend(p, event->region());
    paintTraces(p, scales);
    paintOverlays(p);
    paintOverview(p);
}

QRect StripChart::plotPixels() const {
    const QRectF plot = plotArea();
    const qreal dpr = devicePixelRatioF();
    return QRect(static_cast<int>(std::lround(plot.left() * dpr)),
                 static_cast<int>(std::lround(plot.top() * dpr)), columns(),
                 std::max(1, static_cast<int>(std::lround(plot.height() * dpr))));
}

// The background around the plot, where the window asks for it (a frame asks only under the
// legend's entries); the plot's own pixels come with the traces. Copied through a clip: Qt
// splits a plain copy of many rows over its pooled threads, whose wake-ups cost more than
// the copy.
void StripChart::paintAroundPlot(QPainter& p, const QRegion& asked) {
    const qreal dpr = background_.devicePixelRatio();
    const QRect plot = plotPixels();
    // The plot in whole widget pixels within its device pixels: the traces cover the rest.
    const QRect inner(QPoint(static_cast<int>(std::ceil(plot.left() / dpr)),
                             static_cast<int>(std::ceil(plot.top() / dpr))),
                      QPoint(static_cast<int>(std::floor((plot.right() + 1) / dpr)) - 1,
                             static_cast<int>(std::floor((plot.bottom() + 1) / dpr)) - 1));
    for (const QRect& r : background_.rect().contains(plot) ? asked - inner : asked) {
        p.setClipRect(r);
        p.drawImage(QRectF(r), background_,
                    QRectF(QPointF(r.topLeft()) * dpr, QSizeF(r.size()) * dpr));
    }
    p.setClipping(false);
}

// Everything that changes only with the size, the palette or the range: drawn once into an
// image at the screen's pixel density; each frame shows its parts.
void StripChart::paintBackground(const Scales& scales) {
    const qreal dpr = devicePixelRatioF();
    // Opaque, so that the traces' columns can start as copies of its plot area.
    background_ = QImage(size() * dpr, QImage::Format_RGB32);
    background_.setDevicePixelRatio(dpr);
    background_scales_ = scales;
    background_span_ = span_;
    background_plot_ = plotPixels();
    ++backgrounds_;
    QPainter p(&background_);
    p.fillRect(rect(), palette().window());
    const QRectF plot = plotArea();
    p.fillRect(plot, palette().base());
    const QFontMetrics fm(font());
    const QColor text = palette().text().color();
    QColor grid = text;
    grid.setAlphaF(0.18);
    if (scales.bands <= 1) {
        paintValueAxis(p, scales.ranges.front(), plot, scales.unit, false);
    } else {  // each lane its scale, in its unit, and a line between lanes
        for (int t = 0; t < traceCount(); ++t) {
            if (scales.lane[static_cast<std::size_t>(t)] < 0) continue;
            const QRectF area = band(scales, t);
            paintValueAxis(p, scales.ranges[static_cast<std::size_t>(t)], area, traceUnit(t), true);
            p.setPen(QPen(text, 1));
            if (area.top() > plot.top())
                p.drawLine(QPointF(plot.left(), area.top()), QPointF(plot.right(), area.top()));
        }
    }
    background_end_ = shownEnd();
    if (frozen_) {
        paintFrozenTimeAxis(p, plot, grid);
        p.end();
        findTimeColumns();
        return;
    }
    // Time: a line and a label every 1-2-5 step back from now, at the right edge.
    const engine::ChartScale time = engine::NiceScale(0, span_);
    const int timeLines = gridLines(span_ * (1 + 1e-9) / time.step);
    for (int line = 0; line < timeLines; ++line) {
        const double ago = line * time.step;
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
    p.end();
    findTimeColumns();
}

// A grid line and a label on every 1-2-5 step inside the range, on `area`. The lines are
// counted, not summed up: a step lost in the rounding of the range's ends would add nothing,
// for ever. `sparse` (a lane): only as many lines as leave a line of text between them, each
// label held within the lane and left out where it would touch the one below.
void StripChart::paintValueAxis(QPainter& p, const std::pair<double, double>& range,
                                const QRectF& area, const QString& unit, bool sparse) {
    const QFontMetrics fm(font());
    QColor grid = palette().text().color();
    grid.setAlphaF(0.18);
    const engine::ChartScale scale = engine::NiceScale(range.first, range.second);
    const double bottomLine = std::ceil(range.first / scale.step - 1e-9) * scale.step;
    const int valueLines = gridLines((range.second - bottomLine) / scale.step);
    const double apart = (area.height() - 2 * kInset) * scale.step / (range.second - range.first);
    const int every =
        sparse && apart > 0 ? std::max(1, static_cast<int>(std::ceil(fm.height() / apart))) : 1;
    double below = INFINITY;  // the middle of the label drawn last
    for (int line = 0; line < valueLines; line += every) {
        const double v = bottomLine + line * scale.step;
        double y = yOf(v, range, area);
        p.setPen(QPen(grid, 1));
        p.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        if (sparse) {
            y = std::clamp(y, area.top() + fm.height() / 2.0, area.bottom() - fm.height() / 2.0);
            if (below - y < fm.height()) continue;
            below = y;
        }
        p.setPen(palette().windowText().color());
        const double shown = std::fabs(v) < scale.step * 1e-6 ? 0.0 : v;  // no "-0.0"
        p.drawText(
            QRectF(0, y - fm.height() / 2.0, area.left() - kMargin, fm.height()),
            Qt::AlignRight | Qt::AlignVCenter,
            QString::number(shown, 'f', scale.decimals) + (unit.isEmpty() ? "" : " " + unit));
    }
}

void StripChart::findTimeColumns() {
    const QRect px = plotPixels();
    const int cols = px.width(), rows = px.height();
    plotColumn_.assign(static_cast<std::size_t>(rows), palette().base().color().rgba());
    timeColumns_.clear();
    if (!background_.rect().contains(px)) return;
    auto line = [&](int y) {
        return reinterpret_cast<const QRgb*>(background_.constScanLine(px.top() + y)) + px.left();
    };
    // The column most others equal: the time lines are a few among many.
    std::vector<char> differs(static_cast<std::size_t>(cols));
    for (int c : {cols / 2 + 1, cols / 3 + 1, 2 * cols / 3 + 1, cols / 4 + 2, cols / 2 + 2}) {
        const int reference = std::min(c, cols - 1);
        std::fill(differs.begin(), differs.end(), 0);
        for (int y = 0; y < rows; ++y) {
            const QRgb* row = line(y);
            for (int x = 0; x < cols; ++x)
                differs[static_cast<std::size_t>(x)] |= row[x] != row[reference];
        }
        timeColumns_.clear();
        for (int x = 0; x < cols; ++x)
            if (differs[static_cast<std::size_t>(x)]) timeColumns_.push_back(x);
        if (2 * timeColumns_.size() < static_cast<std::size_t>(cols)) {
            for (int y = 0; y < rows; ++y)
                plotColumn_[static_cast<std::size_t>(y)] = line(y)[reference];
            return;
        }
    }
    // No column like most: every column is laid over from the background itself.
    for (int y = 0; y < rows; ++y) plotColumn_[static_cast<std::size_t>(y)] = line(y)[0];
}

bool StripChart::collectBars(const ColumnSummary& summary, long from, long to, long first,
                             const Scales& scales, const std::vector<QRgb>& colors) {
    const QRectF plot = plotArea();
    const qreal dpr = devicePixelRatioF();
    const int rows = ring_.image.height();
    // A value's pixel row in the image: yOf on the trace's lane, in device pixels from the
    // plot's top, worked out once per trace for the frame.
    double rangeLow = 0, valueSpan = 1, bottomRow = 0, rowsPerValue = 0, gain = 1, offset = 0;
    auto row = [&](double v) {
        const double f = std::clamp(v - rangeLow, 0.0, valueSpan);
        return static_cast<int>(bottomRow - f * rowsPerValue);
    };
    // The nearest column before `from` with points: the first bar stretches to it.
    long before = from - 1;
    while (before >= first && !summary.has(before)) --before;
    const double step = shown().resolution();
    bars_.clear();
    joins_.clear();
    bool joined = false;
    for (int t = 0; t < static_cast<int>(colors.size()); ++t) {
        const QRgb color = colors[static_cast<std::size_t>(t)];
        if (!color) continue;
        const auto& range = scales.ranges[static_cast<std::size_t>(t)];
        const QRectF lane = band(scales, t);
        rangeLow = range.first;
        valueSpan = range.second > range.first ? range.second - range.first : 1;
        bottomRow = (lane.bottom() - plot.top() - kInset) * dpr + 0.5;
        rowsPerValue = (lane.height() - 2 * kInset) * dpr / valueSpan;
        gain = channel(t).gain * step;
        offset = channel(t).offset;
        // A column's lowest and highest value from its codes (a negative gain swaps them).
        auto values = [&](std::int16_t a, std::int16_t b) {
            const double va = gain * a + offset, vb = gain * b + offset;
            return va <= vb ? std::pair{va, vb} : std::pair{vb, va};
        };
        std::vector<QLineF> joins;
        long beforeColumn = before >= first ? before : LONG_MIN;
        double beforeLow = 0, beforeHigh = 0;
        if (beforeColumn != LONG_MIN)
            std::tie(beforeLow, beforeHigh) =
                values(summary.low(beforeColumn, t), summary.high(beforeColumn, t));
        for (long k = from; k <= to; ++k) {
            if (!summary.has(k)) continue;
            const auto [low, high] = values(summary.low(k, t), summary.high(k, t));
            int top = row(high), bottom = row(low);
            if (summary.afterGap(k)) {
                // Nothing joins it to the column before: the trace breaks.
            } else if (beforeColumn == k - 1) {
                top = std::min(top, row(beforeLow));
                bottom = std::max(bottom, row(beforeHigh));
            } else if (beforeColumn != LONG_MIN) {
                joined = true;
                joins.emplace_back((beforeColumn - first + 0.5) / dpr,
                                   row((beforeLow + beforeHigh) / 2) / dpr, (k - first + 0.5) / dpr,
                                   row((low + high) / 2) / dpr);
            }
            bars_.push_back({ring_.slot(k), std::clamp(top, 0, rows - 1),
                             std::clamp(bottom, 0, rows - 1), color});
            beforeColumn = k;
            beforeLow = low;
            beforeHigh = high;
        }
        if (!joins.empty()) joins_.push_back({QColor::fromRgba(color), std::move(joins)});
    }
    return !joined;
}

void StripChart::paintTraces(QPainter& p, const Scales& scales) {
    // Each column a bar from its lowest to its highest point, stretched to meet the column
    // before it, written straight into the ring's pixels: however dense the data, that is one
    // store per pixel. Where columns lie apart (fewer scans than columns), a line joins them;
    // across a hole in the scans nothing is drawn, so that no value is shown where none was
    // measured.
    const QRectF plot = plotArea();
    const QRect px = plotPixels();
    const qreal dpr = devicePixelRatioF();
    const int cols = px.width(), rows = px.height();
    const ColumnSummary& summary = shownColumns();
    const long first = firstColumn(), newest = first + cols - 1;
    std::vector<QRgb> colors(static_cast<std::size_t>(shown().traces()));
    for (int t = 0; t < shown().traces(); ++t)
        colors[static_cast<std::size_t>(t)] = traceVisible(t) ? traceColor(t).rgba() : 0;
    bool whole = ring_.image.size() != QSize(cols, rows) || ring_.scales != scales ||
                 ring_.summary != &summary || ring_.refits != refits_ ||
                 ring_.backgrounds != backgrounds_ || ring_.colors != colors ||
                 ring_.newest == LONG_MIN || newest < ring_.newest || newest - ring_.newest >= cols;
    if (ring_.image.size() != QSize(cols, rows))
        ring_.image = QImage(cols, rows, QImage::Format_RGB32);
    ring_.image.setDevicePixelRatio(dpr);
    uchar* bits = ring_.image.bits();
    const qsizetype stride = ring_.image.bytesPerLine();
    auto line = [&](int y) { return reinterpret_cast<QRgb*>(bits + y * stride); };
    auto clear = [&](long from, long to) {
        for (long k = from; k <= to; ++k) {
            const int x = ring_.slot(k);
            for (int y = 0; y < rows; ++y) line(y)[x] = plotColumn_[static_cast<std::size_t>(y)];
        }
    };
    auto put = [&] {
        for (const Bar& bar : bars_)
            for (int y = bar.top; y <= bar.bottom; ++y) line(y)[bar.column] = bar.color;
    };
    if (!whole && first != ring_.first) {
        // The oldest column with points is drawn as a picture drawn whole draws it: its bar
        // not stretched to the column before it, now out of sight, and no line from there.
        long lead = first;
        while (lead < newest && !summary.has(lead)) ++lead;
        long next = lead + 1;
        while (next <= newest && !summary.has(next)) ++next;
        if (next <= newest && next > lead + 1 && !summary.afterGap(next)) {
            whole = true;  // a line leaves it: all are drawn
        } else {
            // Columns without points hold nothing to clear, unless a line crossed them.
            clear(ring_.joined ? first : lead, std::min(lead, ring_.newest - 1));
            if (lead < ring_.newest) {
                collectBars(summary, lead, lead, lead, scales, colors);
                put();
            }
        }
    }
    if (whole) ring_.origin = first;
    // A join across the columns to draw reaches back into columns drawn before: draw all.
    if (!collectBars(summary, whole ? first : ring_.newest, newest, first, scales, colors) &&
        !whole) {
        whole = true;
        ring_.origin = first;
        collectBars(summary, first, newest, first, scales, colors);
    }
    if (whole) {
        for (int y = 0; y < rows; ++y)
            std::fill_n(line(y), cols, plotColumn_[static_cast<std::size_t>(y)]);
    } else {
        clear(ring_.newest, newest);
    }
    long pixels = 0;
    for (const Bar& bar : bars_) pixels += bar.bottom - bar.top + 1;
    if (!whole || pixels < static_cast<long>(cols) * rows) {
        put();  // few pixels: straight into the image, a bar's pixels a row apart
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
                    QRgb* out = line(y);
                    for (int x = tx; x < std::min(cols, tx + kTile); ++x)
                        if (const QRgb c = columnMajor_[static_cast<std::size_t>(x) * rows + y])
                            out[x] = c;
                }
    }
    if (!joins_.empty()) {  // only when all are drawn: the ring then begins at `first`
        QPainter onImage(&ring_.image);
        for (const auto& [color, lines] : joins_) {
            onImage.setPen(QPen(color, 1));
            onImage.drawLines(lines.data(), static_cast<int>(lines.size()));
        }
    }
    if (whole) ring_.joined = !joins_.empty();
    ring_.first = first;
    ring_.newest = newest;
    ring_.scales = scales;
    ring_.summary = &summary;
    ring_.refits = refits_;
    ring_.backgrounds = backgrounds_;
    ring_.colors = colors;

    // Shown cut where the oldest column lies: from there to the ring's end, then its start.
    // Clipped to the plot, as the overlays over it are: measured, the copy is faster so.
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    auto show = [&](const QImage& image, int from, int count, int at) {
        p.drawImage(QRectF((px.left() + at) / dpr, px.top() / dpr, count / dpr, rows / dpr), image,
                    QRectF(from, 0, count, rows));
    };
    const int cut = ring_.slot(first);
    show(ring_.image, cut, cols - cut, 0);
    if (cut > 0) show(ring_.image, 0, cut, cols - cut);
    // The time lines over the traces' background, never over a trace.
    if (timeColumns_.empty() || !background_.rect().contains(px)) return;
    if (patch_.size() != QSize(static_cast<int>(timeColumns_.size()), rows))
        patch_ = QImage(static_cast<int>(timeColumns_.size()), rows, QImage::Format_RGB32);
    timeSlots_.resize(timeColumns_.size());
    for (std::size_t i = 0; i < timeColumns_.size(); ++i)
        timeSlots_[i] = (cut + timeColumns_[i]) % cols;
    for (int y = 0; y < rows; ++y) {
        const QRgb* traces = line(y);
        const QRgb* back =
            reinterpret_cast<const QRgb*>(background_.constScanLine(px.top() + y)) + px.left();
        auto* out = reinterpret_cast<QRgb*>(patch_.scanLine(y));
        const QRgb empty = plotColumn_[static_cast<std::size_t>(y)];
        for (std::size_t i = 0; i < timeColumns_.size(); ++i) {
            const QRgb v = traces[timeSlots_[i]];
            out[i] = v == empty ? back[timeColumns_[i]] : v;
        }
    }
    for (std::size_t i = 0; i < timeColumns_.size(); ++i)
        show(patch_, static_cast<int>(i), 1, timeColumns_[i]);
}

int StripChart::legendCode(int trace) const {
    const int i = legendPoint();
    return i >= 0 ? shown().code(trace, i) : kNoLegendCode;
}

QString StripChart::legendLabel(int trace) const {
    QString label = traceName(trace);
    if (const int i = legendPoint(); i >= 0)
        label += QString(" %1 %2")
                     .arg(valueOf(trace, shown().at(trace, i)), 0, 'f', 4)
                     .arg(traceUnit(trace));
    return label;
}

void StripChart::paintLegend(QPainter& p, const QRegion& asked) {
    // Colour, name and live value of each trace; a hidden one is hollow and greyed.
    legend_painted_.resize(static_cast<std::size_t>(std::max(0, traceCount())), kUnknownLegendCode);
    for (int t = 0; t < traceCount(); ++t) {
        const QRect r = legendEntry(t);
        if (!asked.intersects(r)) continue;  // a frame asks only for the entries that changed
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
        const QString label = legendLabel(t);
        // On the screen now when the whole entry was asked for, unknown when part of it was;
        // as before when this is a picture.
        if (!picture_)
            legend_painted_[static_cast<std::size_t>(t)] =
                (QRegion(r) - asked).isEmpty() ? legendCode(t) : kUnknownLegendCode;
        p.setPen(textColor);
        legend_text_.draw(p, QRect(box.right() + 5, r.top(), r.width() - 20, r.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, label);
    }
}
