// Painting the strip chart, in layers: the background (grid, labels, frame) drawn once per
// size and range, the legend above the plot, the traces written straight into an image of the
// plot's pixels, and what lies over them (the statistics, the REC badge, the frozen banner,
// the hover).
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
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

// Contrast between two colours as the web's accessibility rules measure it: 1 (none) to 21
// (black on white).
double luminance(const QColor& c) {
    auto linear = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
}
double contrastRatio(const QColor& a, const QColor& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

void StripChart::paintEvent(QPaintEvent* event) {
    ++paints_;
    const auto range = shownRange();
    if (background_.isNull() || background_range_ != range || background_span_ != span_ ||
        (frozen_ && background_end_ != shownEnd()) ||
        background_.devicePixelRatio() != devicePixelRatioF() ||
        background_.size() != size() * devicePixelRatioF() ||  // resized while hidden
        background_plot_ != plotPixels())  // the legend or the overview moved the plot
        paintBackground(range);
    QPainter p(this);
    paintAroundPlot(p, event->region());
    // The legend before the traces: drawn after them, a paint of ten minutes' data was
    // measured a quarter slower.
    paintLegend(p);
    paintTraces(p, range);
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
void StripChart::paintBackground(const std::pair<double, double>& range) {
    const qreal dpr = devicePixelRatioF();
    // Opaque, so that the traces' columns can start as copies of its plot area.
    background_ = QImage(size() * dpr, QImage::Format_RGB32);
    background_.setDevicePixelRatio(dpr);
    background_range_ = range;
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
    // A grid line and a label on every 1-2-5 step inside the range. The lines are counted, not
    // summed up: a step lost in the rounding of the range's ends would add nothing, for ever.
    const engine::ChartScale scale = engine::NiceScale(range.first, range.second);
    const double bottomLine = std::ceil(range.first / scale.step - 1e-9) * scale.step;
    const int valueLines = gridLines((range.second - bottomLine) / scale.step);
    for (int line = 0; line < valueLines; ++line) {
        const double v = bottomLine + line * scale.step;
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
                             const std::pair<double, double>& range,
                             const std::vector<QRgb>& colors) {
    const QRectF plot = plotArea();
    const qreal dpr = devicePixelRatioF();
    const int rows = ring_.image.height();
    // A value's pixel row in the image: yOf, in device pixels from the plot's top, worked out
    // once for the frame.
    const double valueSpan = range.second > range.first ? range.second - range.first : 1;
    const double bottomRow = (plot.height() - kInset) * dpr + 0.5;
    const double rowsPerValue = (plot.height() - 2 * kInset) * dpr / valueSpan;
    auto row = [&](double v) {
        const double f = std::clamp(v - range.first, 0.0, valueSpan);
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
        std::vector<QLineF> joins;
        long beforeColumn = before >= first ? before : LONG_MIN;
        double beforeLow = 0, beforeHigh = 0;
        if (beforeColumn != LONG_MIN) {
            beforeLow = summary.low(beforeColumn, t) * step;
            beforeHigh = summary.high(beforeColumn, t) * step;
        }
        for (long k = from; k <= to; ++k) {
            if (!summary.has(k)) continue;
            const double low = summary.low(k, t) * step, high = summary.high(k, t) * step;
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

void StripChart::paintTraces(QPainter& p, const std::pair<double, double>& range) {
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
    bool whole = ring_.image.size() != QSize(cols, rows) || ring_.range != range ||
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
                collectBars(summary, lead, lead, lead, range, colors);
                put();
            }
        }
    }
    if (whole) ring_.origin = first;
    // A join across the columns to draw reaches back into columns drawn before: draw all.
    if (!collectBars(summary, whole ? first : ring_.newest, newest, first, range, colors) &&
        !whole) {
        whole = true;
        ring_.origin = first;
        collectBars(summary, first, newest, first, range, colors);
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
    ring_.range = range;
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

void StripChart::paintLegend(QPainter& p) {
    // Colour, name and live value of each trace; a hidden one is hollow and greyed.
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
        if (const int i = legendPoint(); i >= 0)
            label += QString(" %1 %2").arg(shown().at(t, i), 0, 'f', 4).arg(unit_);
        p.setPen(textColor);
        legend_text_.draw(p, QRect(box.right() + 5, r.top(), r.width() - 20, r.height()),
                          Qt::AlignLeft | Qt::AlignVCenter, label);
    }
}

void StripChart::paintOverlayBox(QPainter& p, const std::vector<OverlayLine>& lines, QColor back,
                                 QSizeF pad, const std::function<QPointF(QSizeF)>& place) const {
    const QFontMetrics fm(font());
    double width = 0;
    for (const OverlayLine& line : lines)
        width = std::max<double>(width, fm.horizontalAdvance(line.text));
    // Opaque, the text in a neutral colour: a line in a trace's colour (an orange or a pink
    // that would not read on the box) keeps that colour in a swatch before it.
    back.setAlpha(255);
    const QColor neutral = contrastRatio(back, Qt::black) >= contrastRatio(back, Qt::white)
                               ? QColor(Qt::black)
                               : QColor(Qt::white);
    auto coloured = [](const QColor& c) { return c.hslSaturationF() > 0.1; };
    const double swatch = fm.height() * 0.6;
    const bool swatches = std::any_of(
        lines.begin(), lines.end(), [&](const OverlayLine& line) { return coloured(line.color); });
    const double indent = swatches ? swatch + pad.width() : 0;
    const QSizeF size(width + indent + 2 * pad.width(),
                      static_cast<double>(lines.size()) * fm.height() + 2 * pad.height());
    const QRectF box(place(size), size);
    p.fillRect(box, back);
    double top = box.top() + pad.height();
    for (const OverlayLine& line : lines) {
        if (coloured(line.color))
            p.fillRect(
                QRectF(box.left() + pad.width(), top + (fm.height() - swatch) / 2, swatch, swatch),
                line.color);
        p.setPen(coloured(line.color) ? neutral : line.color);
        p.drawText(QPointF(box.left() + pad.width() + indent, top + fm.ascent()), line.text);
        top += fm.height();
    }
}

void StripChart::paintOverlays(QPainter& p) {
    const QRectF plot = plotArea();
    p.setClipRect(plot.adjusted(-1, -1, 1, 1));
    auto translucent = [](QColor c, double alpha) {
        c.setAlphaF(alpha);
        return c;
    };
    const QColor tipBase = palette().toolTipBase().color();
    paintSuspect(p, plot);

    // Statistics of the span, on demand, in the top left corner.
    if (statistics_shown_) {
        std::vector<OverlayLine> lines;
        for (const auto& [t, line] : statisticsLines()) lines.push_back({line, traceColor(t)});
        if (!lines.empty())
            paintOverlayBox(p, lines, translucent(tipBase, 0.92), {6, 4},
                            [&](QSizeF) { return plot.topLeft() + QPointF(6, 6); });
    }

    // Recording: what, for how long, how much, at the plot's top right.
    if (const QString badge = badge_ && !picture_ ? badge_() : QString(); !badge.isEmpty())
        paintOverlayBox(
            p, {{badge, QColor("#c9302c")}}, translucent(tipBase, 0.9), {8, 3},
            [&](QSizeF size) { return QPointF(plot.right() - 6 - size.width(), plot.top() + 6); });

    // Frozen: say so plainly over the picture.
    if (frozen_ && !picture_ && !viewing_)
        paintOverlayBox(p,
                        {{tr("FROZEN \u2014 Space resumes the live picture"),
                          palette().highlightedText().color()}},
                        translucent(palette().highlight().color(), 0.85), {8, 4}, [&](QSizeF size) {
                            return QPointF(plot.center().x() - size.width() / 2, plot.top() + 6);
                        });

    // Hover: a cursor line, and the time and the values under it, each trace in its colour.
    if (picture_ || pointAt(hover_x_) < 0) return;
    p.setPen(QPen(palette().text().color(), 1, Qt::DashLine));
    p.drawLine(QPointF(hover_x_, plot.top()), QPointF(hover_x_, plot.bottom()));
    const Readout readout = readoutAt(hover_x_);
    std::vector<OverlayLine> lines{{readout.time, palette().toolTipText().color()}};
    for (const auto& [t, text] : readout.values) lines.push_back({text, traceColor(t)});
    paintOverlayBox(p, lines, translucent(tipBase, 0.92), {6, 4}, [&](QSizeF size) {
        const bool rightSide = hover_x_ + size.width() + 12 < plot.right();
        return QPointF(rightSide ? hover_x_ + 8 : hover_x_ - size.width() - 8, plot.top() + 8);
    });
}

void StripChart::markSuspect(double from, double to) {
    if (!suspect_.empty() && suspect_.back().first == from) {
        suspect_.back().second = std::max(suspect_.back().second, to);
    } else {
        if (suspect_.size() >= kSuspectMarks) suspect_.erase(suspect_.begin());
        suspect_.emplace_back(from, std::max(from, to));
    }
    update();
}

// Scans the converter did not really make, hatched over the traces on the columns they fall
// in, at least a column wide so that a single scan shows.
void StripChart::paintSuspect(QPainter& p, const QRectF& plot) {
    if (suspect_.empty() || shown().size() == 0) return;
    const ColumnSummary& columns = shownColumns();
    const long first = firstColumn();
    const qreal dpr = devicePixelRatioF();
    QColor hatch = palette().text().color();
    hatch.setAlphaF(0.55);
    for (const auto& [from, to] : suspect_) {
        const double left = plot.left() + (columns.columnOf(from) - first) / dpr;
        const double right = plot.left() + (columns.columnOf(to) - first + 1) / dpr;
        const QRectF mark =
            QRectF(QPointF(left, plot.top()), QPointF(right, plot.bottom())).intersected(plot);
        if (mark.isEmpty()) continue;
        p.fillRect(mark, QBrush(hatch, Qt::BDiagPattern));
    }
}
