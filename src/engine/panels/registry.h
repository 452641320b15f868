// The loaded panels and their controls, by handle and ID; showing and hiding them; the status
// line at the foot of every panel. Inside the Qt front end: the program never includes this.
#pragma once

#include <QPointer>
#include <QWidget>
#include <map>
#include <memory>
#include <string>

#include "engine/user_interface.h"

class QLabel;

namespace engine {

struct ControlKind;

struct Control {
    int id = 0;
    QPointer<QWidget> widget;
    const ControlKind* kind = nullptr;
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
// The handle the next panel added will have.
int NextPanelHandle();
// Keeps a loaded panel, with the status line added, under NextPanelHandle(); returns it.
int AddPanel(std::unique_ptr<Panel> panel);
// Every panel is kept until the run ends; this ends it (before the application object goes).
void DiscardAllPanels();

// A line the engine shows at the foot of every panel, present and future (empty: none); a
// notice stands out as a badge, an alarm more so.
enum class StatusTone { plain, notice, alarm };
void SetStatusLine(const std::string& text, StatusTone tone = StatusTone::plain);
const std::string& StatusLineText();
StatusTone StatusLineTone();

}  // namespace engine
