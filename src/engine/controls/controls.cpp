#include "engine/controls/controls.h"

#include "engine/panels/dispatch.h"

#include <QAccessible>
#include <QHBoxLayout>
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
    // Read-only, and looking it: no edit box, the window's own background, painted here in
    // full so that the group around it is not repainted on every value.
    setFrame(false);
    lineEdit()->hide();
    setAutoFillBackground(true);
}

void NumericIndicator::setDisplayDecimals(int d) {
    display_decimals_ = std::clamp(d, 0, 15);
    update();
}

QString NumericIndicator::textFromValue(double value) const {
    return locale().toString(value, 'f', display_decimals_);
}

void NumericIndicator::showValue(double value) {
    value_ = std::clamp(value, minimum(), maximum());
    given_ = true;
    askForFrame();
}

void NumericIndicator::showNewest() {
    // A screen reader reads the spin box's own value: keep it the one shown, once a frame,
    // only while one listens.
    if (QAccessible::isActive()) setValue(value_);
    update();
}

QString NumericIndicator::shownText() const {
    return prefix() + textFromValue(shownValue()) + suffix();
}

void NumericIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    text_.draw(p, contentsRect().adjusted(2, 0, -2, 0), alignment(), shownText());
}

// ---- TimerControl ----

TimerControl::TimerControl(QWidget* parent)
    : QWidget(parent), alarm_(new engine::Alarm([this] { expire(); }, this)) {
    QWidget::setVisible(false);
    restart();
}

void TimerControl::setVisible(bool) {
    QWidget::setVisible(false);
}

void TimerControl::setInterval(double seconds) {
    if (!(seconds > 0)) return;
    interval_ = std::clamp(seconds, kShortestInterval, kLongestInterval);
    restart();
    emit intervalChanged(interval_);
}

void TimerControl::setRunning(bool on) {
    running_ = on;
    if (on)
        restart();
    else
        alarm_->cancel();
}

TimerControl::Clock::duration TimerControl::period() const {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(interval_));
}

void TimerControl::restart() {
    next_ = Clock::now() + period();
    arm();
}

void TimerControl::arm() {
    if (running_) alarm_->set(next_);
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

LargeDisplay::LargeDisplay(QWidget* parent) : QFrame(parent) {
    setFrameShape(QFrame::StyledPanel);
    // Filled by itself, so that a new value repaints it alone and not the group around it.
    setAutoFillBackground(true);
    digits_ = new QLCDNumber(this);
    digits_->setSegmentStyle(QLCDNumber::Flat);
    digits_->setFrameShape(QFrame::NoFrame);
    digits_->setAutoFillBackground(true);  // a new value repaints the digits alone
    unit_ = new QLabel(this);
    unit_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 4, 8, 4);
    row->setSpacing(4);
    row->addWidget(digits_, 1);
    row->addWidget(unit_, 0);
    showText();
}

void LargeDisplay::setUnit(const QString& u) {
    unit_->setText(u);
}

void LargeDisplay::setDecimals(int d) {
    decimals_ = std::clamp(d, 0, 10);
    showText();
}

QString LargeDisplay::shownText() const {
    if (!shown_) return "-." + QString(decimals_, '-');
    return QString::number(value_, 'f', decimals_);
}

void LargeDisplay::bind(QSpinBox* selector, StripChart* colorSource) {
    chooser_ = selector;
    chart_ = colorSource;
    showText();
}

QColor LargeDisplay::digitColor() const {
    if (chooser_ && chart_) return chart_->traceColor(chooser_->value());
    return QPalette().windowText().color();
}

void LargeDisplay::showValue(double value) {
    value_ = value;
    shown_ = true;
    askForFrame();
}

void LargeDisplay::showNewest() {
    showText();
}

void LargeDisplay::showText() {
    const QString text = shownText();
    const int cells = static_cast<int>(text.size());  // the point takes a cell of its own
    if (digits_->digitCount() != cells) digits_->setDigitCount(cells);
    digits_->display(text);
    const QColor c = digitColor();
    if (palette().color(QPalette::WindowText) != c) {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, c);
        p.setColor(QPalette::Light, c);
        p.setColor(QPalette::Dark, c.darker());
        setPalette(p);
    }
}

void LargeDisplay::resizeEvent(QResizeEvent* event) {
    // The unit at about half the digits' height.
    QFont f = unit_->font();
    f.setPixelSize(std::max(8, contentsRect().height() * 2 / 5));
    f.setBold(true);
    unit_->setFont(f);
    QFrame::resizeEvent(event);
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
