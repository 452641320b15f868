#include "engine/controls/numeric_indicator.h"

#include <QAccessible>
#include <QLineEdit>
#include <QPainter>
#include <algorithm>

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
    if (shownText() != painted_) update();
}

QString NumericIndicator::shownText() const {
    return prefix() + textFromValue(shownValue()) + suffix();
}

void NumericIndicator::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::Text));
    painted_ = shownText();
    text_.draw(p, contentsRect().adjusted(2, 0, -2, 0), alignment(), painted_);
}
