#include "engine/controls/numeric_entry.h"

#include <QKeyEvent>
#include <QLineEdit>

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
