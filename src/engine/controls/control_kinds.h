// Every kind of control the engine drives, in one table: how its value is read and set, its
// maximum, the events it sends and the text it shows. The engine's value operations, its
// wiring of events and the test interface all go through this table; a widget whose class is
// in none of its rows cannot be a control.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

namespace engine {

struct ControlKind {
    const char* className;
    // The numeric value the program reads (false: none) and sets (an engine result code).
    bool (*get)(const QWidget* w, double& value);
    int (*set)(QWidget* w, double value);
    // The largest value it takes (false: none), and how the program changes that.
    bool (*maximum)(const QWidget* w, double& value);
    int (*setMaximum)(QWidget* w, double max);
    // Connects the widget's own signals to the events the program receives.
    void (*wire)(QWidget* w, std::function<void(int event)> send);
    // What the operator sees of it.
    QString (*text)(const QWidget* w);
};

// The kind of the widget's own class or of its nearest base class in the table; nullptr
// when the engine cannot drive it.
const ControlKind* KindOf(const QWidget* w);
// The kind a resource's widget class names, exactly; nullptr when none.
const ControlKind* KindNamed(const QString& className);

}  // namespace engine
