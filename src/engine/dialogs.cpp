#include "engine/dialogs.h"

namespace engine {
namespace {
DialogFront* front = nullptr;
std::vector<PopupRecord> popups;
bool quitRequested = false;
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

}  // namespace engine

int MessagePopup(const char* title, const char* message) {
    engine::PopupRecord record{title ? title : "", message ? message : ""};
    engine::popups.push_back(record);
    if (engine::front) engine::front->showPopup(record.title, record.message);
    return 0;
}

int QuitUserInterface(int) {
    engine::quitRequested = true;
    if (engine::front) engine::front->quitRequested();
    return 0;
}
