// The process start-up: Qt, the engine's options, the port back end, then the program.
#pragma once

#include <string>

#include "engine/user_interface.h"

namespace engine {

using ProgramMain = int (*)(int argc, char* argv[]);

// Sets up everything, calls programMain with the arguments that are not the engine's (those
// that do not begin with '-'), and returns its result for the process exit code; -1 when the
// engine cannot be set up, no display can be opened or an engine option is invalid (one line
// on standard error says why); 0 after --help. When the port back end cannot be opened, that
// line is also shown in a window if there is a screen; a panel that cannot be loaded is said
// on standard error only, and the program's -1 ends the process at once.
int RunProgram(int argc, char* argv[], ProgramMain programMain, const CallbackTable& callbacks);

// One word for a POSIX shell: as it is when it needs no quoting, else in single quotes.
std::string ShellQuoted(const std::string& word);
// Keeps the screenless platforms' notes on what they cannot do off standard error; every other
// Qt message still reaches it.
void QuietPlatformChatter();

namespace testing {
// Refusal windows are shown only with a screen; tests running offscreen turn them on here.
void ShowRefusalsOffscreen(bool show);
}  // namespace testing

}  // namespace engine
