#include "engine/controls.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>

// ---- NumericEntry ----

NumericEntry::NumericEntry(QWidget* parent) : QSpinBox(parent) {
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { edited_ = true; });
}

void NumericEntry::stepBy(int steps) {
    QSpinBox::stepBy(steps);
    edited_ = false;
    emit committed();
}

void NumericEntry::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QSpinBox::keyPressEvent(event);
    if (enter) {
        edited_ = false;
        emit committed();
    }
}

void NumericEntry::focusOutEvent(QFocusEvent* event) {
    const bool edited = edited_;
    QSpinBox::focusOutEvent(event);
    if (edited) {
        edited_ = false;
        emit committed();
    }
}

// ---- NumericIndicator ----

NumericIndicator::NumericIndicator(QWidget* parent) : QDoubleSpinBox(parent) {
    // Keep every digit of the value: only the display is rounded.
    setDecimals(15);
    setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::NoButtons);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void NumericIndicator::setDisplayDecimals(int d) {
    display_decimals_ = std::clamp(d, 0, 15);
    setValue(value());  // redraw the text
}

QString NumericIndicator::textFromValue(double value) const {
    return locale().toString(value, 'f', display_decimals_);
}

// ---- TimerControl ----

TimerControl::TimerControl(QWidget* parent) : QWidget(parent) {
    QWidget::setVisible(false);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &TimerControl::expire);
    next_ = Clock::now() +
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval_));
    arm();
}

void TimerControl::setVisible(bool) {
    QWidget::setVisible(false);
}

void TimerControl::setInterval(double seconds) {
    if (!(seconds > 0) || !std::isfinite(seconds)) return;
    interval_ = seconds;
    next_ = Clock::now() +
            std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval_));
    arm();
}

void TimerControl::setRunning(bool on) {
    running_ = on;
    if (on)
        setInterval(interval_);
    else
        timer_.stop();
}

void TimerControl::arm() {
    if (!running_) return;
    const double ms = std::chrono::duration<double, std::milli>(next_ - Clock::now()).count();
    // Whole milliseconds are all QTimer takes: round to the nearest, and let expire() treat a
    // tick less than half a millisecond ahead as due, so that no wake-up spins.
    timer_.start(ms <= 0 ? 0 : static_cast<int>(std::lround(std::min(ms, 2.0e9))));
}

void TimerControl::expire() {
    const auto now = Clock::now();
    const auto period =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval_));
    const auto tolerance = std::min<Clock::duration>(period / 2, std::chrono::microseconds(500));
    // Deadlines that fell due while a callback ran are not delivered afterwards either.
    const auto [busyStart, busyEnd] = engine::LastCallbackSpan();
    if (next_ >= busyStart && next_ <= busyEnd) next_ += period * ((busyEnd - next_) / period + 1);
    if (now + tolerance < next_) {
        arm();
        return;
    }
    // A deadline missed while the window painted is delivered late, one tick per pass of the
    // event loop, so the rate holds; beyond the catch-up limit the schedule starts afresh.
    if (now - next_ >= std::max<Clock::duration>(period, kCatchUpLimit))
        next_ = now + period;
    else
        next_ += period;
    arm();
    emit due();
}

// ---- StripChart ----

namespace {
const char* const kDefaultColors[] = {"#1f77b4", "#d62728", "#2ca02c", "#ff7f0e",
                                      "#9467bd", "#8c564b", "#e377c2", "#17becf"};
}

StripChart::StripChart(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 120);
}

void StripChart::setTraceCount(int n) {
    history_.reset(std::clamp(n, 1, 64), history_.capacity());
    update();
}

void StripChart::setHistory(int points) {
    history_.reset(history_.traces(), std::clamp(points, 2, 1 << 20));
    update();
}

void StripChart::appendScan(const double* values) {
    history_.append(values);
    update();  // Qt merges these into at most one paint per frame
}

QColor StripChart::traceColor(int trace) const {
    if (trace < colors_.size()) {
        QColor c(colors_[trace]);
        if (c.isValid()) return c;
    }
    return QColor(kDefaultColors[trace % 8]);
}

void StripChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().base());
    const QFontMetrics fm(font());
    const int left = fm.horizontalAdvance("0.00 V") + 10;
    const int legend = fm.height() + 6;
    const QRectF plot(left, legend + 4, width() - left - 8,
                      height() - legend - 4 - fm.height() / 2 - 4);
    if (plot.width() < 4 || plot.height() < 4) return;

    const double span = (y_max_ > y_min_) ? y_max_ - y_min_ : 1.0;
    auto yOf = [&](double v) {
        double f = std::clamp((v - y_min_) / span, 0.0, 1.0);
        return plot.bottom() - f * plot.height();
    };

    // Grid and volts labels, in the palette's own text colour.
    QColor gridColor = palette().text().color();
    gridColor.setAlphaF(0.15);
    p.setPen(palette().text().color());
    const int lines = 5;
    for (int k = 0; k <= lines; ++k) {
        const double v = y_min_ + span * k / lines;
        const double y = yOf(v);
        p.setPen(QPen(gridColor, 1));
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(palette().text().color());
        p.drawText(QRectF(0, y - fm.height() / 2.0, left - 6, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'f', 2) + (unit_.isEmpty() ? "" : " " + unit_));
    }
    p.setPen(QPen(palette().text().color(), 1));
    p.drawRect(plot);

    // Legend along the top.
    int x = left;
    for (int t = 0; t < history_.traces(); ++t) {
        const QString name = t < names_.size() ? names_[t] : QString("CH%1").arg(t);
        p.fillRect(QRect(x, 4 + fm.height() / 2 - 4, 10, 8), traceColor(t));
        p.setPen(palette().text().color());
        p.drawText(QPoint(x + 14, 4 + fm.ascent()), name);
        x += 14 + fm.horizontalAdvance(name) + 12;
    }

    // Traces, newest point at the right edge. Each pixel column gets the lowest and the
    // highest point that falls in it, so no spike is lost however many points share a column.
    const int n = history_.size();
    if (n == 0) return;
    const double dx = plot.width() / std::max(1, history_.capacity() - 1);
    p.setClipRect(plot);
    QPolygonF line;
    line.reserve(2 * static_cast<int>(plot.width()) + 4);
    for (int t = 0; t < history_.traces(); ++t) {
        line.clear();
        int column = INT_MIN;
        double low = 0, high = 0;
        auto flush = [&] {
            if (column == INT_MIN) return;
            line << QPointF(column + 0.5, yOf(low));
            if (high != low) line << QPointF(column + 0.5, yOf(high));
        };
        for (int i = 0; i < n; ++i) {
            const double v = history_.at(t, i);
            const int c = static_cast<int>(std::floor(plot.right() - (n - 1 - i) * dx));
            if (c != column) {
                flush();
                column = c;
                low = high = v;
            } else {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
        flush();
        p.setPen(QPen(traceColor(t), 0));
        p.drawPolyline(line);
    }
}
