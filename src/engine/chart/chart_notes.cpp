// Notes on the strip chart: a flag at the top of the plot at the time the operator wrote it.
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "engine/chart/strip_chart.h"

namespace {
constexpr double kFlagWidth = 7, kFlagHeight = 6, kPole = 14;  // pixels
}

void StripChart::addNote(double seconds, const QString& text) {
    if (!std::isfinite(seconds)) return;
    // In time order, a note written late after those already there.
    const auto at = std::upper_bound(notes_.begin(), notes_.end(), seconds,
                                     [](double s, const Note& n) { return s < n.seconds; });
    notes_.insert(at, {seconds, text.left(kNoteLength)});
    if (notes_.size() > kNotes) notes_.erase(notes_.begin());
    update();
}

double StripChart::xOfTime(double seconds) const {
    const QRectF plot = plotArea();
    return plot.right() - (shownEnd() - seconds) / span_ * plot.width();
}

// The notes in the span shown, from the first at or after its start.
static std::vector<StripChart::Note>::const_iterator firstNote(
    const std::vector<StripChart::Note>& notes, double start) {
    return std::lower_bound(notes.begin(), notes.end(), start,
                            [](const StripChart::Note& n, double s) { return n.seconds < s; });
}

const StripChart::Note* StripChart::noteAt(double x) const {
    const double end = shownEnd();
    const Note* found = nullptr;
    for (auto n = firstNote(notes_, end - span_); n != notes_.end() && n->seconds <= end; ++n) {
        const double at = xOfTime(n->seconds);
        if (x >= at - 3 && x <= at + kFlagWidth + 1) found = &*n;  // the latest drawn on top
    }
    return found;
}

void StripChart::paintNotes(QPainter& p, const QRectF& plot) {
    if (notes_.empty()) return;
    const double end = shownEnd();
    const QFontMetrics fm(font());
    const QColor flag = palette().link().color();
    p.setFont(font());
    for (auto n = firstNote(notes_, end - span_); n != notes_.end() && n->seconds <= end; ++n) {
        const double x = xOfTime(n->seconds), top = plot.top() + 1;
        p.setPen(QPen(flag, 1));
        p.drawLine(QPointF(x, top), QPointF(x, top + kPole));
        p.fillRect(QRectF(x, top, kFlagWidth, kFlagHeight), flag);
        // The text beside the flag, cut short before the next flag or the plot's edge.
        const auto next = std::next(n);
        const double room =
            (next != notes_.end() && next->seconds <= end ? xOfTime(next->seconds) : plot.right()) -
            x - kFlagWidth - 6;
        if (room < fm.horizontalAdvance("Mm\u2026")) continue;
        p.setPen(palette().windowText().color());
        p.drawText(QPointF(x + kFlagWidth + 3, top + fm.ascent()),
                   fm.elidedText(n->text, Qt::ElideRight, static_cast<int>(room)));
    }
}
