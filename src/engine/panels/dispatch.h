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
// A timer control's tick for one deadline of its grid. The one rule for late ticks: every
// deadline that fell due while a callback (or a popup) ran is answered by one tick, delivered
// right after it; the rest of them are dropped. Returns the last deadline this delivery
// stands for: the end of that callback for a late tick, else the deadline itself.
TickTime DispatchTick(int panel, int control, TickTime deadline);
// Ticks that fell due while a callback ran and were folded into one late delivery.
long DeferredTicks();

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
