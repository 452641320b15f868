#include "engine/panels/registry.h"

#include <QLabel>
#include <QLayout>
#include <QMainWindow>
#include <QStatusBar>

#include "engine/panels/face.h"

namespace engine {
namespace {

std::map<int, std::unique_ptr<Panel>> panels;
int nextHandle = 1;
std::string statusText;
StatusTone statusTone = StatusTone::plain;

void showStatus(StatusLabel* label) {
    label->setText(QString::fromStdString(statusText));
    // A notice is a badge nobody can miss: for instance, that the voltages are not measured.
    // An alarm says the measurement itself has failed: the port stopped answering.
    const char* style = "";
    if (statusTone == StatusTone::notice)
        style =
            "QLabel { background: #f0ad4e; color: black; font-weight: bold; padding: 2px 6px; "
            "border-radius: 3px; }";
    else if (statusTone == StatusTone::alarm)
        style =
            "QLabel { background: #c9302c; color: white; font-weight: bold; padding: 2px 6px; "
            "border-radius: 3px; }";
    label->setStyleSheet(style);
    label->setToolTip(label->elided() ? label->text() : QString());
}

void addStatusLine(Panel& p) {
    if (statusText.empty()) return;
    auto* label = new StatusLabel;
    label->setObjectName("engineStatusLine");
    showStatus(label);
    if (auto* main = qobject_cast<QMainWindow*>(p.window.get())) {
        main->statusBar()->addWidget(label, 1);
    } else if (p.window->layout()) {
        p.window->layout()->addWidget(label);
    } else {
        delete label;
        return;
    }
    p.statusLine = label;
}

}  // namespace

Panel* FindPanel(int handle) {
    auto it = panels.find(handle);
    return it == panels.end() ? nullptr : it->second.get();
}

Control* FindControl(int panel, int control) {
    Panel* p = FindPanel(panel);
    if (!p) return nullptr;
    auto it = p->controls.find(control);
    return (it == p->controls.end() || !it->second.widget) ? nullptr : &it->second;
}

void DiscardAllPanels() {
    panels.clear();
}

int NextPanelHandle() {
    return nextHandle;
}

int AddPanel(std::unique_ptr<Panel> panel) {
    const int handle = nextHandle++;
    panel->handle = handle;
    addStatusLine(*panel);
    panels[handle] = std::move(panel);
    return handle;
}

const std::string& StatusLineText() {
    return statusText;
}
StatusTone StatusLineTone() {
    return statusTone;
}

void SetStatusLine(const std::string& text, StatusTone tone) {
    statusText = text;
    statusTone = tone;
    for (auto& [handle, p] : panels) {
        if (p->statusLine)
            showStatus(static_cast<StatusLabel*>(p->statusLine.data()));
        else
            addStatusLine(*p);
    }
}

}  // namespace engine

using namespace engine;

int DisplayPanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kBadPanel;
    if (!p->window->property("enginePlaced").toBool()) {
        p->window->setProperty("enginePlaced", true);
        PlaceOnScreen(p->window.get());
    }
    p->window->show();
    p->window->raise();
    return kOk;
}

int HidePanel(int panel) {
    Panel* p = FindPanel(panel);
    if (!p) return kBadPanel;
    p->window->hide();
    return kOk;
}

int SetPanelAttribute(int panel, int attribute, const char* value) {
    Panel* p = FindPanel(panel);
    if (!p) return kBadPanel;
    if (attribute != ATTR_TITLE) return kBadAttribute;
    p->window->setWindowTitle(QString::fromUtf8(value ? value : ""));
    return kOk;
}
