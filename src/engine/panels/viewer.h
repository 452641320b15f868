// The process as a viewer (--open=FILE): the recording's window in place of the program, until
// it is closed.
#pragma once

#include "engine/chart/recording_viewer.h"

namespace engine {

// Shows the recording and runs the event loop until its window closes; 0 then.
int RunViewer(RecordedHistory recording);

}  // namespace engine
