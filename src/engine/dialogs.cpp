#include "engine/dialogs.h"

#include <algorithm>
#include <iostream>

#include "engine/escape.h"

namespace engine {
namespace {
DialogFront* front = nullptr;
std::vector<PopupRecord> popups;
bool quitRequested = false;
bool popupsToStandardError = false;
std::vector<RunFault> ending;
RunFault endedBy = RunFault::none;
PopupRecord lastWritten;

constexpr std::pair<RunFault, const char*> kFaultWords[] = {
    {RunFault::timedOut, "a conversion timed out"},
    {RunFault::portLost, "the port was lost"},
    {RunFault::claimRefused, "the port could not be claimed"},
    {RunFault::recordingFailed, "the recording failed"},
    {RunFault::noPort, "the chosen port does not exist"},
};

// One line on standard error; a popup said again word for word (a time-out on every channel of
// a scan) is not repeated.
void writePopup(const PopupRecord& popup) {
    if (popup.title == lastWritten.title && popup.message == lastWritten.message) return;
    lastWritten = popup;
    std::cerr << "zelmor: popup \"" << Printable(popup.title) << "\": " << Printable(popup.message)
              << std::endl;
}
}  // namespace

void InstallDialogFront(DialogFront* f) {
    front = f;
}
const std::vector<PopupRecord>& PopupLog() {
    return popups;
}
void ClearPopupLog() {
    popups.clear();
}
bool QuitRequested() {
    return quitRequested;
}
void ClearQuitRequest() {
    quitRequested = false;
}
void PopupsToStandardError(bool on) {
    popupsToStandardError = on;
    lastWritten = {};
}
bool PopupsGoToStandardError() {
    return popupsToStandardError;
}
void EndRunOnFaults(std::vector<RunFault> faults) {
    ending = std::move(faults);
    endedBy = RunFault::none;
}
void TellRunFault(RunFault fault) {
    if (endedBy != RunFault::none || std::find(ending.begin(), ending.end(), fault) == ending.end())
        return;
    endedBy = fault;
    for (const auto& [f, words] : kFaultWords)
        if (f == fault)
            std::cerr << "zelmor: ending with exit code " << static_cast<int>(fault) << ": "
                      << words << std::endl;
    QuitUserInterface(0);
}
RunFault EndingFault() {
    return endedBy;
}

}  // namespace engine

int MessagePopup(const char* title, const char* message) {
    engine::PopupRecord record{title ? title : "", message ? message : ""};
    engine::popups.push_back(record);
    if (engine::popupsToStandardError)
        engine::writePopup(record);
    else if (engine::front)
        engine::front->showPopup(record.title, record.message);
    return 0;
}

int QuitUserInterface(int) {
    engine::quitRequested = true;
    if (engine::front) engine::front->quitRequested();
    return 0;
}
