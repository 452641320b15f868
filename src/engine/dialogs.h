// The operator dialogs that code below the user interface may need: a modal message and the
// request to leave the event loop. Without a front end (the converter link's own tests) the
// popup is only recorded and the quit request only kept; the Qt front end installs itself to
// show the popup and to end its event loop. A run no operator can answer writes its popups to
// standard error instead, and a timed run ends on its first fault with that fault's exit code.
#pragma once

#include <string>
#include <vector>

int MessagePopup(const char* title, const char* message);
int QuitUserInterface(int returnCode);

namespace engine {

class DialogFront {
  public:
    virtual ~DialogFront() = default;
    virtual void showPopup(const std::string& title, const std::string& message) = 0;
    virtual void quitRequested() = 0;
};

void InstallDialogFront(DialogFront* front);  // nullptr: record only

struct PopupRecord {
    std::string title;
    std::string message;
};

// Every popup of the run, in order: what the operator was told.
const std::vector<PopupRecord>& PopupLog();
void ClearPopupLog();

bool QuitRequested();
void ClearQuitRequest();

// A run no operator can answer (no screen, or a timed run): every popup is written to standard
// error, title and text on one line, and returns at once as if closed. Off again with false.
void PopupsToStandardError(bool on);
bool PopupsGoToStandardError();

// How a run without an operator ended early, as its exit code.
enum class RunFault : int {
    none = 0,
    timedOut = 2,         // a conversion timed out
    portLost = 3,         // the port stopped answering
    claimRefused = 4,     // the chosen port could not be claimed
    recordingFailed = 5,  // the recording could not start or stopped
    noPort = -1,          // the chosen port does not exist
};
// Whether faults end the run: those given (`ending`) do, from the first one told on. Clears
// the fault kept so far.
void EndRunOnFaults(std::vector<RunFault> ending);
// A fault of the run. When it is one that ends it and the first such: said on standard error
// in one line with its exit code, kept, and the same quit request as the Exit command made.
void TellRunFault(RunFault fault);
// The first fault that ended the run; none when it ended as planned.
RunFault EndingFault();

}  // namespace engine
