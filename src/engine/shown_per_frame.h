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
    virtual void present() = 0;
    void attach(FrameRequests* frames) { frames_ = frames; }

  protected:
    ~ShownPerFrame() = default;
    // From the window's frame limiter; outside a limited window, the control presents at once.
    void requestFrame() {
        if (frames_)
            frames_->requestFrame();
        else
            present();
    }

  private:
    FrameRequests* frames_ = nullptr;
};

}  // namespace engine
