#include "engine/panels/dispatch.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <cmath>
#include <set>

#include "engine/controls/timer_control.h"
#include "engine/panels/registry.h"

namespace engine {
namespace {

int depth = 0;
long deferredTicks = 0;
std::set<std::pair<int, int>> pendingTicks;  // panel, control
TickTime lastCallbackStart{};
std::function<double()> scanClock;
double lastScanStart = 0;
int popupsOpen = 0;
double lastPopupClosed = -HUGE_VAL;  // of the scan clock

double scanClockNow() {
    if (scanClock) return scanClock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
QEventLoop* loop = nullptr;
PopupResponder responder;

// Delivers the ticks deferred during a callback once it has ended; while one still runs
// (the popup's loop came round first), tries again on the next pass.
void deliverPendingTicks() {
    if (depth > 0) {
        QTimer::singleShot(1, qApp, deliverPendingTicks);
        return;
    }
    const auto due = std::exchange(pendingTicks, {});
    for (const auto& [panel, control] : due) {
        DispatchControlEvent(panel, control, EVENT_TIMER_TICK);
        // The timer's grid resumes half a period after this late tick, not at once.
        if (const Control* c = FindControl(panel, control))
            if (auto* timer = qobject_cast<TimerControl*>(c->widget.data()))
                timer->delivered(lastCallbackStart);
    }
}

void afterCallback() {
    if (depth == 0 && QuitRequested() && loop) loop->exit(0);
}

void leaveCallback() {
    --depth;
    afterCallback();
}

void enterCallback() {
    if (depth++ == 0) {
        lastCallbackStart = TickNow();
        lastScanStart = scanClockNow();
    }
}

template <typename Call>
int guarded(Call&& call) {
    enterCallback();
    int result = call();
    leaveCallback();
    return result;
}

// Runs the control's callback, unless one is running: then a tick waits until it has ended.
int deliver(const Control& c, int panel, int control, int event) {
    if (depth > 0) {
        // A tick that falls due inside another callback (a popup's loop runs timers) waits
        // for it to end; however many fall due meanwhile, one is delivered.
        if (event == EVENT_TIMER_TICK) {
            ++deferredTicks;
            if (pendingTicks.insert({panel, control}).second && pendingTicks.size() == 1)
                QTimer::singleShot(0, qApp, deliverPendingTicks);
        }
        return 0;
    }
    CtrlCallbackPtr callback = c.callback;
    return guarded([&] { return callback(panel, control, event, nullptr, 0, 0); });
}

class QtFront final : public DialogFront {
  public:
    void showPopup(const std::string& title, const std::string& message) override {
        QMessageBox box(QMessageBox::Information, QString::fromStdString(title),
                        QString::fromStdString(message), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setWindowModality(Qt::ApplicationModal);
        if (responder) {
            const PopupRecord record{title, message};
            QTimer::singleShot(0, &box, [&box, record] {
                responder(record);
                box.done(QMessageBox::Ok);
            });
        }
        // A popup counts as a running callback: no tick is delivered while it is open.
        enterCallback();
        ++popupsOpen;
        box.exec();
        --popupsOpen;
        lastPopupClosed = scanClockNow();
        leaveCallback();
    }
    void quitRequested() override { afterCallback(); }
};

QtFront qtFront;

}  // namespace

int DispatchControlEvent(int panel, int control, int event) {
    const Control* c = FindControl(panel, control);
    return c && c->callback ? deliver(*c, panel, control, event) : 0;
}

TickTime DispatchTick(int panel, int control) {
    const Control* c = FindControl(panel, control);
    if (!c || !c->callback) return TickTime::min();
    if (depth > 0) {
        deliver(*c, panel, control, EVENT_TIMER_TICK);  // waits for the running callback
        return TickTime::min();
    }
    if (!pendingTicks.empty()) pendingTicks.erase({panel, control});  // this is the one
    deliver(*c, panel, control, EVENT_TIMER_TICK);
    return lastCallbackStart;
}

bool PopupOpenSince(double scanSeconds) {
    return popupsOpen > 0 || lastPopupClosed > scanSeconds;
}

int DispatchPanelEvent(int panel, int event) {
    Panel* p = FindPanel(panel);
    if (!p || !p->callback || depth > 0) return 0;
    PanelCallbackPtr callback = p->callback;
    return guarded([&] { return callback(panel, event, nullptr, 0, 0); });
}

int DispatchCommand(CommandCallbackPtr command) {
    if (!command || depth > 0) return 0;
    return guarded([&] {
        command();
        return 0;
    });
}

double ScanStartSeconds() {
    return depth > 0 ? lastScanStart : scanClockNow();
}
void SetScanClock(std::function<double()> clock) {
    scanClock = std::move(clock);
    lastPopupClosed = -HUGE_VAL;  // a moment of the clock before
}

long DeferredTicks() {
    return deferredTicks;
}
void InstallQtFront() {
    InstallDialogFront(&qtFront);
}
void SetPopupResponder(PopupResponder r) {
    responder = std::move(r);
}

}  // namespace engine

int RunUserInterface() {
    using namespace engine;
    if (loop || depth > 0) return kBadValue;  // the loop runs once, never inside a callback
    if (!QuitRequested()) {
        QEventLoop eventLoop;
        loop = &eventLoop;
        eventLoop.exec();
        loop = nullptr;
    }
    ClearQuitRequest();
    return 0;
}
