// The engine's one event loop and the gate every callback passes: callbacks never nest; a
// timer tick that falls due inside one waits until it ends and comes once; popups are modal
// and count as a running callback. Also the display clock every panel keeps to.
#pragma once

#include <QWidget>
#include <chrono>
#include <functional>
#include <utility>

#include "engine/dialogs.h"
#include "engine/user_interface.h"

namespace engine {

// Panels and charts are painted at most this often, however often their values change.
inline constexpr int kDisplayFramesPerSecond = 60;
// Holds window to at most kDisplayFramesPerSecond paints.
void LimitFrames(QWidget* window);

// Delivers an event to a callback, unless a callback is already running, so that callbacks
// never nest: then a timer tick waits until it has ended and is delivered once however many
// fell due meanwhile; any other event is dropped. Returns the callback's result, 0 when none
// ran.
int DispatchControlEvent(int panel, int control, int event);
int DispatchPanelEvent(int panel, int event);
int DispatchCommand(CommandCallbackPtr command);
// Ticks that fell due while a callback ran and were folded into one late delivery.
long DeferredTicks();
// When the last callback (a popup inside it included) began and returned.
std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>
LastCallbackSpan();

// When the scan being made began: the start of the running callback (the tick that makes
// it), in seconds of the steady clock; now when no callback runs. The chart and its
// recordings stamp every scan with it.
double ScanStartSeconds();
// For tests: the clock ScanStartSeconds reads (nullptr: the steady clock), so that stamps
// follow a simulated time.
void SetScanClock(std::function<double()> clock);

// While one lives, values change because the program set them: controls send no event.
class ProgramChange {
  public:
    ProgramChange();
    ~ProgramChange();
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
};
bool ProgramChanging();

// Shows popups as modal message boxes and ends the event loop on a quit request.
void InstallQtFront();
// For tests: called while each popup is open, which then closes as if the operator had.
using PopupResponder = std::function<void(const PopupRecord&)>;
void SetPopupResponder(PopupResponder responder);

}  // namespace engine
