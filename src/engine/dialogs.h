// The operator dialogs that code below the user interface may need: a modal message and the
// request to leave the event loop. Without a front end (the converter link's own tests) the
// popup is only recorded and the quit request only kept; the Qt front end installs itself to
// show the popup and to end its event loop.
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

}  // namespace engine
