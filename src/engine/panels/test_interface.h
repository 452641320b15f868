// Test entry points: do what the operator does, and read what the operator would see.
// Built into its own library, which only tests and benchmarks link.
#pragma once

#include <string>
#include <vector>

#include "engine/panels/dispatch.h"
#include "engine/panels/loader.h"
#include "engine/panels/registry.h"

namespace engine::testing {

// A clean engine for the next test: every panel discarded, popups, quit request and dropped
// ticks cleared, popups answered at once. Registers the given callbacks.
void ResetEngine(const CallbackTable& callbacks);

// Operator actions, through the controls' own event handling.
void ChooseItem(int panel, int control, int index);              // pick an item of a selector
void TypeInto(int panel, int control, const std::string& text);  // replace the text, no Enter
void PressEnter(int panel, int control);
void PressKey(int panel, int control, int qtKey);
void LeaveControl(int panel, int control);  // focus moves away
void ClosePanel(int panel);
bool ChooseMenuItem(int panel, const std::string& callbackName);
// A tick of a timer control now, off its grid, through the same path as a real one.
void FireTimer(int panel, int control);
// On a simulated clock (SetTickClock): the deadline a timer control's alarm is set for, and
// the alarm ringing, as the event loop rings it once that moment has come.
TickTime TimerDeadline(int panel, int control);
void RingTimer(int panel, int control);

// What the operator sees.
std::string ShownText(int panel, int control);
double Value(int panel, int control);
bool IsDimmed(int panel, int control);
double Interval(int panel, int control);
double MaxValue(int panel, int control);
std::string Title(int panel);
bool IsShown(int panel);
std::string StatusLine(int panel);
// The heading above the panel's port list (its label marked portSource); empty when none.
std::string PortListHeading(int panel);
// The entries of the panel's first menu (its File menu) as the operator reads them, "-" for
// a separator.
std::vector<std::string> FileMenu(int panel);
std::string ToolTip(int panel, int control);
// What an entry said of the last keystroke past its maximum; empty when none went past.
std::string EntryNotice(int panel, int control);
// The entry highlighted in a selector's open list when it is also the one Enter would choose;
// -1 while the list is closed, or when it marks none or another.
int HighlightedItem(int panel, int control);
std::vector<double> ChartTrace(int panel, int control, int trace);

// The panel shrunk to the smallest size its layout allows, as the operator would drag it.
struct SmallestLayout {
    int width = 0, height = 0;  // the window's inside, in the screen's logical pixels
    int plotHeight = 0;         // the strip chart's plot, 0 without a chart
    bool statusLineInside = false;
    // "A over B" for shown widgets of one parent that overlap; "A cut" for one that sticks
    // out of its parent or whose text does not fit it.
    std::vector<std::string> faults;
};
SmallestLayout ShrinkToSmallest(int panel);

}  // namespace engine::testing
