// Inside the Qt front end: the loaded panels, event dispatch and the engine's settings. The
// program never includes this; start-up and the test interface do.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "engine/dialogs.h"
#include "engine/user_interface.h"

class QLabel;

namespace engine {

struct Control {
    int id = 0;
    QPointer<QWidget> widget;
    CtrlCallbackPtr callback = nullptr;
};

struct Panel {
    int handle = 0;
    std::unique_ptr<QWidget> window;
    PanelCallbackPtr callback = nullptr;
    std::map<int, Control> controls;
    QPointer<QLabel> statusLine;
};

Panel* FindPanel(int handle);
Control* FindControl(int panel, int control);
// Every panel is kept until the run ends; this ends it (before the application object goes).
void DiscardAllPanels();

// Delivers an event to a callback, unless a callback is already running, so that callbacks
// never nest: then a timer tick waits until it has ended and is delivered once however many
// fell due meanwhile; any other event is dropped. Returns the callback's result, 0 when none
// ran.
int DispatchControlEvent(int panel, int control, int event);
int DispatchPanelEvent(int panel, int event);
int DispatchCommand(CommandCallbackPtr command);
// Ticks that fell due while a callback ran and were folded into one late delivery.
long DeferredTicks();

// Where LoadPanel looks: only in folder when it is not empty, else next to the executable
// and then in the installed data folder.
void SetResourceFolder(const std::string& folder);
// The line the last failed LoadPanel printed (empty when none failed since the last call).
std::string TakeLastLoadError();
// A line the engine shows at the foot of every panel, present and future (empty: none); a
// notice stands out as a badge, an alarm more so.
enum class StatusTone { plain, notice, alarm };
void SetStatusLine(const std::string& text, StatusTone tone = StatusTone::plain);

// Shows popups as modal message boxes and ends the event loop on a quit request.
void InstallQtFront();
// For tests: called while each popup is open, which then closes as if the operator had.
using PopupResponder = std::function<void(const PopupRecord&)>;
void SetPopupResponder(PopupResponder responder);

}  // namespace engine
