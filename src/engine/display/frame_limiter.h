// The display clock a window keeps to: however often its controls change (up to a thousand
// times a second, once per scan), it is painted at most kDisplayFramesPerSecond times.
#pragma once

class QWidget;

namespace engine {

// Panels and charts are painted at most this often, however often their values change.
inline constexpr int kDisplayFramesPerSecond = 60;

// Holds window to at most kDisplayFramesPerSecond paints: one paint goes through per frame,
// and one held back is sent when the next frame is due, so nothing shown is ever older than a
// frame. The window's controls that show their values per frame (ShownPerFrame) ask it for
// frames.
void LimitFrames(QWidget* window);

}  // namespace engine
