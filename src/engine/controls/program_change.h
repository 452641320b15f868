// The program setting a control's value is no operator action: while a ProgramChange lives,
// the controls' own change signals send the program no event.
#pragma once

namespace engine {

class ProgramChange {
  public:
    ProgramChange();
    ~ProgramChange();
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
};
bool ProgramChanging();

}  // namespace engine
