// Controls whose values may change a thousand times a second while the screen shows sixty
// frames. Setting a value only stores it and asks for a frame; present() then makes what
// shows it (its text, its digits, its colour) and asks Qt to repaint it, once per frame. A
// scan tick that sets values thus neither formats nor allocates.
#pragma once

namespace engine {

// Who paints a window's frames: its frame limiter.
class FrameRequests {
  public:
    // A frame is wanted, as soon as the frame rate allows.
    virtual void requestFrame() = 0;

  protected:
    ~FrameRequests() = default;
};

class ShownPerFrame {
  public:
    // Makes what shows the newest value, once per frame, if one came since the last.
    void present() {
        if (!stale_) return;
        stale_ = false;
        showNewest();
    }
    void attach(FrameRequests* frames) { frames_ = frames; }

  protected:
    ~ShownPerFrame() = default;
    // A new value: the first since the last frame asks for the next one, from the window's
    // frame limiter; outside a limited window the control shows it at once.
    void askForFrame() {
        if (stale_) return;
        stale_ = true;
        if (frames_)
            frames_->requestFrame();
        else
            present();
    }
    // What present() does for the control: make its text or picture and ask Qt to repaint.
    virtual void showNewest() = 0;

  private:
    FrameRequests* frames_ = nullptr;
    bool stale_ = false;
};

}  // namespace engine
