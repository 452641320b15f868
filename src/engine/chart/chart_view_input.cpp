// Zoom and pan of a frozen chart (or a recording opened again): the wheel, a drag, the keys.
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
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
    layoutChanged();
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
    if (!frozen_) return h.size() - 1;
    return h.firstAtOrAfter(std::nextafter(shownEnd(), INFINITY)) - 1;
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
    if (!frozen_ || event->modifiers() & ~Qt::KeypadModifier) return false;
    switch (event->key()) {
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
