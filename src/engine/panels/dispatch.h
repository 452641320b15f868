// The engine's one event loop and the gate every callback passes: callbacks never nest; a
// timer tick that falls due inside one waits until it ends and comes once; popups are modal
// and count as a running callback.
#pragma once

#include <QWidget>
#include <functional>

#include "engine/dialogs.h"
#include "engine/display/frame_limiter.h"  // LimitFrames, for every panel's window
#include "engine/display/tick_clock.h"
#include "engine/user_interface.h"

namespace engine {

// Delivers an event to a callback, unless a callback is already running, so that callbacks
// never nest: then a timer tick waits until it has ended and is delivered once however many
// fell due meanwhile; any other event is dropped. Returns the callback's result, 0 when none
// ran.
int DispatchControlEvent(int panel, int control, int event);
int DispatchPanelEvent(int panel, int event);
int DispatchCommand(CommandCallbackPtr command);
// A timer control's tick. The one rule for late ticks: the timer reports the deadlines its
// loop missed as one tick; one that falls due while a callback (or a popup) runs waits for it
// to end, and however many do, one is delivered, right after it. Returns when the tick's
// callback began, TickTime::min() when it waits; the timer hears when a waiting one is
// delivered, so that its next tick is at least half a period later.
TickTime DispatchTick(int panel, int control);
// Ticks that fell due while a callback ran and were folded into one late delivery.
long DeferredTicks();

// Whether a popup was open at any moment after `scanSeconds` (of the clock ScanStartSeconds
// reads), or is open now: the cause of a hole in the scans, when it is known.
bool PopupOpenSince(double scanSeconds);

// When the scan being made began: the start of the running callback (the tick that makes
// it), in seconds of the steady clock; now when no callback runs. The chart and its
// recordings stamp every scan with it.
double ScanStartSeconds();
// For tests: the clock ScanStartSeconds reads (nullptr: the steady clock), so that stamps
// follow a simulated time.
void SetScanClock(std::function<double()> clock);

// Shows popups as modal message boxes and ends the event loop on a quit request.
void InstallQtFront();
// For tests: called while each popup is open, which then closes as if the operator had.
using PopupResponder = std::function<void(const PopupRecord&)>;
void SetPopupResponder(PopupResponder responder);

}  // namespace engine
