// The user-interface operations the program calls: panels from resource files, controls,
// timers and the event loop. Plain declarations; the Qt front end implements them.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "engine/dialogs.h"

// Events a callback receives.
enum : int {
    EVENT_COMMIT = 1,
    EVENT_VAL_CHANGED = 2,
    EVENT_CLOSE = 11,
    EVENT_TIMER_TICK = 15,
};

// Attributes of controls and panels.
enum : int {
    ATTR_DIMMED = 500,
    ATTR_TITLE = 573,
    ATTR_MAX_VALUE = 730,
    ATTR_INTERVAL = 1270,
};

// Data types of arrays handed to the engine.
enum : int { VAL_DOUBLE = 4 };

// Results: 0 for success, negative for failure.
namespace engine {
enum UiResult : int {
    kOk = 0,
    kLoadFailed = -1,
    kBadPanel = -2,
    kBadControl = -3,
    kBadAttribute = -4,
    kBadValue = -5,
    kWrongControlKind = -6,
};
}  // namespace engine

using CtrlCallbackPtr = int (*)(int panel, int control, int event, void* callbackData,
                                int eventData1, int eventData2);
using PanelCallbackPtr = int (*)(int panel, int event, void* callbackData, int eventData1,
                                 int eventData2);
using CommandCallbackPtr = void (*)();

namespace engine {

// The program's callbacks by the names its panel resources use.
struct CallbackEntry {
    std::string name;
    std::variant<CtrlCallbackPtr, PanelCallbackPtr, CommandCallbackPtr> function;
};
using CallbackTable = std::vector<CallbackEntry>;

}  // namespace engine

// Loads the panel with that resource ID from a resource file; parent 0 means top level.
// Returns a handle >= 1, or a negative result (with one line on standard error saying why).
int LoadPanel(int parent, const char* fileName, int panelResourceId);
int DisplayPanel(int panel);
int HidePanel(int panel);
// Runs the event loop until QuitUserInterface, once the running callback has returned.
int RunUserInterface();

int GetCtrlVal(int panel, int control, int* value);
int GetCtrlVal(int panel, int control, double* value);
int SetCtrlVal(int panel, int control, int value);
int SetCtrlVal(int panel, int control, double value);
int SetCtrlAttribute(int panel, int control, int attribute, int value);
int SetCtrlAttribute(int panel, int control, int attribute, double value);
int SetPanelAttribute(int panel, int attribute, const char* value);
// Appends numberOfPoints values, taken from array[startingIndex] every skipCount + 1 elements,
// one point per trace in turn (trace 0 first).
int PlotStripChart(int panel, int control, const double* array, int numberOfPoints,
                   int startingIndex, int skipCount, int dataType);
