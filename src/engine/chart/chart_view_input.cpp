// Zoom and pan of a frozen chart (or a recording opened again): the wheel, a drag, the keys.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "engine/chart/strip_chart.h"

namespace {
constexpr double kWheelStep = 1.25;  // one notch of the wheel: a fifth shorter or longer
constexpr double kKeyPan = 0.1;      // an arrow key: a tenth of the span
}  // namespace

void StripChart::viewFrozen(bool on) {
    if (on) {
        const TraceHistory& h = snapshot_;
        live_span_ = span_;
        view_blocks_.build(h);
        view_.reset(h.size() ? h.time(0) : 0, h.size() ? h.time(h.size() - 1) : 0, span_);
        snapshot_end_ = view_.end();  // the live columns taken over fit the newest scan
    } else {
        span_ = live_span_;  // back at the live edge, as it was
    }
    drag_x_ = -1;
    cursors_.clear();
    layoutChanged();
}

void StripChart::placeCursor(double seconds) {
    if (!frozen_) return;
    cursors_.place(seconds);
    update();
}

void StripChart::mouseDoubleClickEvent(QMouseEvent* event) {
    const QRectF plot = plotArea();
    if (!frozen_ || !plot.contains(event->position())) return QWidget::mouseDoubleClickEvent(event);
    placeCursor(view_.start() + (event->position().x() - plot.left()) / plot.width() * span_);
}

std::pair<double, double> StripChart::statisticsSpan() const {
    if (frozen_ && cursors_.both()) {
        const double a = *cursors_.first(), b = *cursors_.second();
        return {std::max(a, b), std::fabs(b - a)};
    }
    return {shownEnd(), span_};
}

QStringList StripChart::cursorLines() const {
    if (!frozen_ || !cursors_.both()) return {};
    const auto r = ReadCursors(shown(), *cursors_.first(), *cursors_.second());
    if (!r) return {};
    QStringList lines{QString("1: %1 s  2: %2 s  dt %3 s  1/dt %4 Hz")
                          .arg(r->t1 - timeOrigin(), 0, 'f', 3)
                          .arg(r->t2 - timeOrigin(), 0, 'f', 3)
                          .arg(r->dt, 0, 'f', 3)
                          .arg(r->perSecond, 0, 'f', 3)};
    for (int t = 0; t < traceCount(); ++t) {
        if (!traceVisible(t)) continue;
        const CursorReading::Trace& v = r->traces[static_cast<std::size_t>(t)];
        const double v1 = valueOf(t, v.v1), v2 = valueOf(t, v.v2);
        lines << QString("%1  %2 %5  %3 %5  dV %4 %5")
                     .arg(traceName(t))
                     .arg(v1, 0, 'f', 4)
                     .arg(v2, 0, 'f', 4)
                     .arg(v.dv * channel(t).gain, 0, 'f', 4)
                     .arg(traceUnit(t));
    }
    return lines;
}

void StripChart::zoomView(double factor, double at) {
    if (!frozen_) return;
    view_.zoom(factor, at);
    span_ = view_.span();  // the background follows the span; the legend's places stay
    update();
}

void StripChart::panView(double seconds) {
    if (!frozen_) return;
    view_.pan(seconds);
    update();
}

double StripChart::timeOrigin() const {
    return std::isnan(origin_) ? 0 : origin_;
}

int StripChart::legendPoint() const {
    const TraceHistory& h = shown();
    if (!frozen_ && !held_) return h.size() - 1;
    return PointAtOrBefore(h, cursors_.latest().value_or(shownEnd()));
}

void StripChart::wheelEvent(QWheelEvent* event) {
    const QRectF plot = plotArea();
    if (!frozen_ || !plot.contains(event->position())) return QWidget::wheelEvent(event);
    const double at = view_.start() + (event->position().x() - plot.left()) / plot.width() * span_;
    zoomView(std::pow(kWheelStep, event->angleDelta().y() / 120.0), at);
    event->accept();
}

bool StripChart::viewDrag(QMouseEvent* event, bool press) {
    const QRectF plot = plotArea();
    if (!frozen_) return false;
    if (press) {
        if (event->button() != Qt::LeftButton || !plot.contains(event->position())) return false;
        drag_x_ = event->position().x();
        return true;
    }
    if (drag_x_ < 0 || !(event->buttons() & Qt::LeftButton)) return false;
    // The history follows the pointer: dragged right, earlier scans come into view.
    panView(-(event->position().x() - drag_x_) / plot.width() * span_);
    drag_x_ = event->position().x();
    return true;
}

void StripChart::mouseReleaseEvent(QMouseEvent* event) {
    drag_x_ = -1;
    QWidget::mouseReleaseEvent(event);
}

bool StripChart::viewKey(QKeyEvent* event) {
    if (!frozen_) return false;
    const QRectF plot = plotArea();
    if (event->modifiers() == Qt::ShiftModifier &&
        (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        cursors_.move((event->key() == Qt::Key_Left ? -span_ : span_) / columns());
        update();
        return true;
    }
    if (event->modifiers() & ~Qt::KeypadModifier) return false;
    switch (event->key()) {
        case Qt::Key_C:  // where the pointer is over the plot, else in the middle
            placeCursor(hover_x_ >= plot.left() && hover_x_ < plot.right()
                            ? view_.start() + (hover_x_ - plot.left()) / plot.width() * span_
                            : view_.end() - span_ / 2);
            return true;
        case Qt::Key_Escape:
            if (!cursors_.first()) return false;
            cursors_.clear();
            update();
            return true;
        case Qt::Key_Left:
            panView(-kKeyPan * span_);
            return true;
        case Qt::Key_Right:
            panView(kKeyPan * span_);
            return true;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            zoomView(2, view_.end() - span_ / 2);
            return true;
        case Qt::Key_Minus:
            zoomView(0.5, view_.end() - span_ / 2);
            return true;
        default:
            return false;
    }
}
