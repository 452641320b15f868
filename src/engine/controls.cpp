#include "engine/controls.h"

#include "engine/dispatch.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>
#include <cmath>

// ---- NumericEntry ----

NumericEntry::NumericEntry(QWidget* parent) : QSpinBox(parent) {
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] { edited_ = true; });
}

bool NumericEntry::event(QEvent* event) {
    // A space means nothing in a number; let it reach the panel's shortcut (the chart's
    // freeze) instead of being swallowed here.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            event->ignore();
            return true;
        }
    }
    return QSpinBox::event(event);
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
    restart();
}

void TimerControl::setVisible(bool) {
    QWidget::setVisible(false);
}

void TimerControl::setInterval(double seconds) {
    if (!(seconds > 0)) return;
    interval_ = std::clamp(seconds, kShortestInterval, kLongestInterval);
    restart();
}

void TimerControl::setRunning(bool on) {
    running_ = on;
    if (on)
        restart();
    else
        timer_.stop();
}

TimerControl::Clock::duration TimerControl::period() const {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval_));
}

void TimerControl::restart() {
    next_ = Clock::now() + period();
    arm();
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
    const auto period = this->period();
    const auto tolerance = std::min<Clock::duration>(period / 2, std::chrono::microseconds(500));
    // Deadlines that fell due while a callback ran are delivered once, now, right after it:
    // never lost, never piled up.
    const auto [busyStart, busyEnd] = engine::LastCallbackSpan();
    if (next_ >= busyStart && next_ <= busyEnd) {
        next_ += period * ((busyEnd - next_) / period + 1);
        arm();
        emit due();
        return;
    }
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

// ---- LargeDisplay ----

LargeDisplay::LargeDisplay(QWidget* parent) : QLCDNumber(parent) {
    setSegmentStyle(QLCDNumber::Flat);
    setFrameShape(QFrame::StyledPanel);
    setDigitCount(6);
    showValue(0);
}

void LargeDisplay::setUnit(const QString& u) {
    unit_ = u;
    update();
}

void LargeDisplay::setDecimals(int d) {
    decimals_ = std::clamp(d, 0, 10);
    showValue(value_);
}

QString LargeDisplay::shownText() const {
    return QString::number(value_, 'f', decimals_);
}

void LargeDisplay::bind(QSpinBox* selector, StripChart* colorSource) {
    chooser_ = selector;
    chart_ = colorSource;
    showValue(value_);
}

QColor LargeDisplay::digitColor() const {
    if (chooser_ && chart_) return chart_->traceColor(chooser_->value());
    return palette().windowText().color();
}

void LargeDisplay::showValue(double value) {
    value_ = value;
    // One blank digit cell at the right, where the unit goes.
    const QString digits = shownText() + (unit_.isEmpty() ? "" : " ");
    if (digitCount() < digits.size() - digits.count('.')) setDigitCount(digits.size());
    display(digits);
    const QColor c = digitColor();
    if (palette().color(QPalette::WindowText) != c) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Light, c);
        p.setColor(QPalette::Dark, c.darker());
        setPalette(p);
    }
}

void LargeDisplay::paintEvent(QPaintEvent* event) {
    QLCDNumber::paintEvent(event);
    if (unit_.isEmpty()) return;
    // The unit fills the blank last digit cell, at half the digits' height.
    const QRect inside = contentsRect();
    const int cell = inside.width() / std::max(1, digitCount());
    QPainter p(this);
    QFont f = font();
    f.setPixelSize(std::max(8, inside.height() / 2));
    f.setBold(true);
    p.setFont(f);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRect(inside.right() - cell, inside.top(), cell, inside.height() - 4),
               Qt::AlignCenter | Qt::AlignBottom, unit_);
}

// ---- RateMeter ----

RateMeter::RateMeter(QWidget* parent) : QProgressBar(parent) {
    setFormat("%v scans/s");
    setValue(0);
}

void RateMeter::showRate(int value) {
    setValue(std::clamp(value, minimum(), maximum()));
    const bool warn = timer_ && value < 0.9 / timer_->interval();
    if (warn == warning_) return;
    warning_ = warn;
    QPalette p = palette();
    if (warn)
        p.setColor(QPalette::Highlight, QColor("#d9534f"));
    else
        p = QPalette();
    setPalette(p);
    setToolTip(warn ? tr("Fewer scans than asked for: the computer or the port cannot keep up")
                    : tr("Scans made in the last second, against the requested rate"));
}
