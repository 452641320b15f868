#include "engine/controls/large_display.h"

#include <QHBoxLayout>
#include <QLCDNumber>
#include <QLabel>
#include <algorithm>

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

QString LargeDisplay::unit() const {
    return unit_->text();
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
    if (text != digitsShown_) {
        digits_->display(text);
        digitsShown_ = text;
    }
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
