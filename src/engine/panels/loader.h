// Loading a panel from its resource: finding the file, checking it, building it with Qt's
// loader, and binding its controls to the program's callbacks and to each other.
#pragma once

#include <string>

#include "engine/user_interface.h"

namespace engine {

// Where LoadPanel looks: only in folder when it is not empty, else next to the executable
// and then in the installed data folder.
void SetResourceFolder(const std::string& folder);
// The callbacks panels may name.
void RegisterCallbacks(const CallbackTable& table);

}  // namespace engine
