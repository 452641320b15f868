// The strip chart's top layer, over the traces: the statistics, the REC badge, the frozen
// banner, the hover readout and the hatching over scans the link does not vouch for, each box
// drawn the one way paintOverlayBox draws them.
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/chart/strip_chart.h"

namespace {

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
    paintNotes(p, plot);
    paintTrigger(p, plot);

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
    if (const Note* note = noteAt(hover_x_))
        lines.push_back({tr("Note: %1").arg(note->text), palette().toolTipText().color()});
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
