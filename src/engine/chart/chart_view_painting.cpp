// What a frozen chart draws beyond a live one: a time axis counting from the start of
// acquisition, and the overview strip showing where the window lies in the history.
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/chart/chart_limits.h"
#include "engine/chart/chart_scale.h"
#include "engine/chart/strip_chart.h"

void StripChart::paintFrozenTimeAxis(QPainter& p, const QRectF& plot, const QColor& grid) {
    const QFontMetrics fm(font());
    const double from = view_.start() - timeOrigin();
    const engine::ChartScale time = engine::NiceScale(0, span_);
    const double step = time.step > 0 ? time.step : span_;
    const double firstLine = std::ceil(from / step - 1e-9) * step;
    const long lines = std::clamp<long>(static_cast<long>((from + span_ - firstLine) / step) + 1, 0,
                                        engine::kMaxChartGridLines);
    for (long line = 0; line < lines; ++line) {
        const double v = firstLine + line * step;
        const double x = plot.left() + plot.width() * (v - from) / span_;
        p.setPen(QPen(grid, 1));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(palette().windowText().color());
        // The last label says what they all count: seconds from the first scan.
        const QString label =
            QString::number(std::fabs(v) < step * 1e-6 ? 0.0 : v, 'f', time.decimals) +
            (line + 1 == lines ? tr(" s from the start") : QString());
        const double w = fm.horizontalAdvance(label);
        p.drawText(QRectF(std::clamp(x - w / 2, plot.left(), width() - w),
                          plot.bottom() + kMargin / 2.0, w, fm.height()),
                   Qt::AlignCenter, label);
    }
    p.setPen(QPen(palette().text().color(), 1));
    p.drawRect(plot);
}

void StripChart::paintOverview(QPainter& p) {
    if (!frozen_) return;
    const QRectF plot = plotArea();
    paintCursors(p, plot);
    if (picture_) return;
    // A thin strip along the plot's top: the whole history, the window on it filled.
    const QRectF strip(plot.left() + 1, plot.top() + 1, plot.width() - 2, 5);
    const auto [from, to] = view_.inHistory();
    QColor whole = palette().text().color(), shown = palette().highlight().color();
    whole.setAlphaF(0.15);
    p.fillRect(strip, whole);
    p.fillRect(QRectF(strip.left() + strip.width() * from, strip.top(),
                      std::max(2.0, strip.width() * (to - from)), strip.height()),
               shown);
}

void StripChart::paintCursors(QPainter& p, const QRectF& plot) {
    // Each cursor a solid line with its number; with both, their readings at the bottom left.
    p.setClipRect(plot);
    int n = 0;
    for (const std::optional<double>& c : {cursors_.first(), cursors_.second()}) {
        ++n;
        if (!c) continue;
        const double x = plot.left() + (*c - view_.start()) / span_ * plot.width();
        p.setPen(QPen(palette().windowText().color(), 1));
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.drawText(QPointF(x + 3, plot.bottom() - 4), QString::number(n));
    }
    std::vector<OverlayLine> lines;
    const QStringList text = cursorLines();
    for (int i = 0; i < text.size(); ++i) {
        QColor color = palette().windowText().color();
        if (i > 0)  // the traces' lines in the traces' colours, in the order shown
            for (int t = 0, k = 0; t < traceCount(); ++t)
                if (traceVisible(t) && ++k == i) color = traceColor(t);
        lines.push_back({text[i], color});
    }
    QColor back = palette().base().color();
    back.setAlphaF(0.92);
    if (!lines.empty())
        paintOverlayBox(p, lines, back, {6, 4}, [&](QSizeF size) {
            return QPointF(plot.left() + 6, plot.bottom() - 6 - size.height());
        });
    p.setClipping(false);
}
