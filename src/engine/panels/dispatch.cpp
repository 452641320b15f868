#include "engine/panels/dispatch.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <set>
#include <vector>

#include "engine/display/alarm.h"
#include "engine/display/shown_per_frame.h"
#include "engine/panels/registry.h"

namespace engine {
namespace {

int depth = 0;
long deferredTicks = 0;
std::set<std::pair<int, int>> pendingTicks;  // panel, control
std::chrono::steady_clock::time_point lastCallbackStart{}, lastCallbackEnd{};
std::function<double()> scanClock;
double lastScanStart = 0;

double scanClockNow() {
    if (scanClock) return scanClock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}
QEventLoop* loop = nullptr;
PopupResponder responder;
bool programChanging = false;

// Holds a panel to at most kDisplayFramesPerSecond paints. Controls change on every scan, up to a
// thousand times a second, and Qt would paint the window after each; the limiter lets one
// paint through per frame and sends the held-back one when the next frame is due, so nothing
// shown is ever older than a frame. The controls that show their values per frame ask it for
// frames; when one is due they make what shows their newest value, and the window paints.
class FrameLimiter : public QObject, public FrameRequests {
  public:
    explicit FrameLimiter(QWidget* window)
        : QObject(window), window_(window), alarm_(new Alarm([this] { frame(); }, this)) {
        auto take = [this](QWidget* w) {
            if (auto* shown = dynamic_cast<ShownPerFrame*>(w)) {
                shown->attach(this);
                perFrame_.push_back({w, shown});
            }
        };
        take(window);
        for (QWidget* w : window->findChildren<QWidget*>()) take(w);
    }
    void requestFrame() override {
        if (!alarm_->isSet())
            alarm_->set(std::max(Clock::now(), std::max(last_, presented_) + kFrame));
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::UpdateRequest) return false;
        const auto now = Clock::now();
        if (now - last_ >= kFrame) {
            last_ = now;
            present();
            return false;  // paint now
        }
        held_ = true;
        requestFrame();
        return true;
    }

  private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::nanoseconds kFrame{1'000'000'000 / kDisplayFramesPerSecond};
    void present() {
        for (const auto& [widget, shown] : perFrame_)
            if (widget) shown->present();
    }
    void frame() {
        presented_ = Clock::now();
        present();  // what they repaint asks Qt for the update, unless one is held here
        if (std::exchange(held_, false))
            QCoreApplication::postEvent(window_, new QEvent(QEvent::UpdateRequest),
                                        Qt::LowEventPriority);
    }
    QWidget* window_;
    Alarm* alarm_;
    std::vector<std::pair<QPointer<QWidget>, ShownPerFrame*>> perFrame_;
    bool held_ = false;              // an update Qt asked for waits for the frame
    Clock::time_point last_{};       // the last paint let through
    Clock::time_point presented_{};  // the last frame the controls were asked to present
};

// Delivers the ticks deferred during a callback once it has ended; while one still runs
// (the popup's loop came round first), tries again on the next pass.
void deliverPendingTicks() {
    if (depth > 0) {
        QTimer::singleShot(1, qApp, deliverPendingTicks);
        return;
    }
    const auto due = std::exchange(pendingTicks, {});
    for (const auto& [panel, control] : due) DispatchControlEvent(panel, control, EVENT_TIMER_TICK);
}

void afterCallback() {
    if (depth == 0 && QuitRequested() && loop) loop->exit(0);
}

void leaveCallback() {
    if (--depth == 0) lastCallbackEnd = std::chrono::steady_clock::now();
    afterCallback();
}

void enterCallback() {
    if (depth++ == 0) {
        lastCallbackStart = std::chrono::steady_clock::now();
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
        box.exec();
        leaveCallback();
    }
    void quitRequested() override { afterCallback(); }
};

QtFront qtFront;

}  // namespace

ProgramChange::ProgramChange() {
    programChanging = true;
}
ProgramChange::~ProgramChange() {
    programChanging = false;
}
bool ProgramChanging() {
    return programChanging;
}

void LimitFrames(QWidget* window) {
    window->installEventFilter(new FrameLimiter(window));
}

int DispatchControlEvent(int panel, int control, int event) {
    Control* c = FindControl(panel, control);
    if (!c || !c->callback) return 0;
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
    CtrlCallbackPtr callback = c->callback;
    return guarded([&] { return callback(panel, control, event, nullptr, 0, 0); });
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

std::pair<std::chrono::steady_clock::time_point, std::chrono::steady_clock::time_point>
LastCallbackSpan() {
    return {lastCallbackStart, lastCallbackEnd};
}
double ScanStartSeconds() {
    return depth > 0 ? lastScanStart : scanClockNow();
}
void SetScanClock(std::function<double()> clock) {
    scanClock = std::move(clock);
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
