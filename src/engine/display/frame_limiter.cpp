#include "engine/display/frame_limiter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QWidget>
#include <chrono>
#include <utility>
#include <vector>

#include "engine/display/alarm.h"
#include "engine/display/shown_per_frame.h"

namespace engine {
namespace {

// Controls change on every scan and Qt would paint the window after each; the limiter lets one
// paint through per frame. When a frame is due the per-frame controls make what shows their
// newest value, and the window paints.
class FrameLimiter : public QObject, public FrameRequests {
  public:
    explicit FrameLimiter(QWidget* window)
        : QObject(window),
          window_(window),
          alarm_(new Alarm([this] { frame(); }, this, std::chrono::milliseconds(1))) {
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

}  // namespace

void LimitFrames(QWidget* window) {
    window->installEventFilter(new FrameLimiter(window));
}

}  // namespace engine
