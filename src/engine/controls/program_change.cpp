#include "engine/controls/program_change.h"

namespace engine {
namespace {
bool programChanging = false;
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

}  // namespace engine
