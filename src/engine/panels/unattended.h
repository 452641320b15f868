// A run without an operator: --port, --rate, --record and --seconds act at the panels as the
// operator would (a choice on the port panel, Requested typed and Enter, Record, Exit), so the
// program runs as it does with a person in front of it.
#pragma once

#include "engine/options.h"

namespace engine {

// Before the program starts: whether popups go to standard error (`noOperator`: no screen, or
// a timed run) and which faults end the run; the choices are made once the event loop runs.
void PlanUnattendedRun(const EngineOptions& options, bool noOperator);
// The exit code of the run that ended with `programResult`: the fault that ended it early, -1
// when an option could not be acted on, else programResult. Puts popups back on the screen.
int EndUnattendedRun(int programResult);

}  // namespace engine
