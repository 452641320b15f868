// Every kind of control the engine drives, one row each: the class name panel resources give
// it and the widget class it is, how it is made, what its resource must say, which other
// controls it names, how its value is read and set, its maximum, the events it sends and the
// text it shows. The loader, the resource check, the value operations, the wiring of events
// and the test interface all ask this table; a widget whose class is in none of its rows
// cannot be a control.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <map>

#include "engine/display/tick_clock.h"

namespace engine {

// A widget's properties as its resource gives them: the value's element (number, double,
// bool, string, ...) and its text.
struct ResourceValue {
    QString type;
    QString text;
};
using ResourceProperties = std::map<QString, ResourceValue>;
// The property as a finite number, left as it is when the resource does not give it; false
// when the resource gives something else.
bool ResourceNumber(const ResourceProperties& properties, const QString& name, double& value);

// The furthest from zero a control's range reaches, from a resource or the program: far beyond
// any reading, and shown in full by a spin box.
constexpr double kMaxControlValue = 1e9;

// Where a control's events go.
struct ControlEvents {
    std::function<void(int event)> send;
    // A timer's tick; answers when its callback began, TickTime::min() when it waits.
    std::function<TickTime()> tick;
};

struct ControlKind {
    const char* className;                // as panel resources name it
    const QMetaObject* widgetClass;       // the widget's class; its subclasses are of this kind too
    QWidget* (*create)(QWidget* parent);  // nullptr: one of Qt's own, made by Qt's loader
    bool needsId;                         // its resource must give it a control ID
    // The properties its resource may give besides those every control may (controlId,
    // callback, toolTip, minimumSize, sizePolicy): "name:type ...", the type the element
    // that holds the value (a double may also be given as a number).
    const char* properties;
    // The fault in the properties its resource gives, empty when none (nullptr: no checks).
    QString (*check)(const ResourceProperties& properties);
    // Finds the controls of window it names; the fault, empty when none (nullptr: names none).
    QString (*bind)(QWidget* w, QWidget* window);
    // The numeric value the program reads (false: none) and sets (an engine result code).
    bool (*get)(const QWidget* w, double& value);
    int (*set)(QWidget* w, double value);
    // The largest value it takes (false: none), and how the program changes that.
    bool (*maximum)(const QWidget* w, double& value);
    int (*setMaximum)(QWidget* w, double max);
    // Connects the widget's own signals to the events the program receives.
    void (*wire)(QWidget* w, const ControlEvents& events);
    // What the operator sees of it.
    QString (*text)(const QWidget* w);
};

// The kind of the widget's own class or of its nearest base class in the table; nullptr
// when the engine cannot drive it.
const ControlKind* KindOf(const QWidget* w);
// The kind a resource's widget class names, exactly; nullptr when none.
const ControlKind* KindNamed(const QString& className);

}  // namespace engine
