#include "engine/controls/numeric_entry.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolTip>

NumericEntry::NumericEntry(QWidget* parent) : QSpinBox(parent) {
    connect(lineEdit(), &QLineEdit::textEdited, this, [this] {
        edited_ = true;
        if (!clamped_) notice_.clear();
        clamped_ = false;
    });
}

void NumericEntry::showRange() {
    if (!tipTaken_) {
        tip_ = toolTip();
        tipTaken_ = true;
    }
    if (unit_.isEmpty()) return;
    const QString range = QString("%1 to %2 %3").arg(minimum()).arg(maximum()).arg(unit_);
    setToolTip(tip_.isEmpty() ? range : tip_ + " (" + range + ")");
}

QValidator::State NumericEntry::validate(QString& input, int& pos) const {
    // A whole number past the maximum becomes the maximum, and says so where the operator
    // looks; anything else is judged as a spin box judges it.
    QString digits = input;
    if (digits.startsWith(prefix())) digits.remove(0, prefix().size());
    if (!suffix().isEmpty() && digits.endsWith(suffix())) digits.chop(suffix().size());
    bool whole = false;
    const qlonglong typed = digits.trimmed().toLongLong(&whole, displayIntegerBase());
    if (!whole || typed <= maximum()) return QSpinBox::validate(input, pos);
    clamped_ = true;
    notice_ = QString("at most %1%2").arg(maximum()).arg(unit_.isEmpty() ? "" : " " + unit_);
    input = prefix() + textFromValue(maximum()) + suffix();
    pos = static_cast<int>(input.size() - suffix().size());
    // Shown once the keystroke is done: a tooltip opened inside the validator would be
    // closed by the key event still under way.
    auto* self = const_cast<NumericEntry*>(this);
    QTimer::singleShot(0, self, [self, said = notice_] {
        if (self->isVisible())
            QToolTip::showText(self->mapToGlobal(QPoint(0, self->height())), said, self);
    });
    return QValidator::Acceptable;
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
