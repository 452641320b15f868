// The panels' look: the desktop's own, or a light or dark one of ours (Fusion style), chosen
// from the View menu the engine adds to every main window and remembered with the other settings
// (settings.h: key look = light, dark or desktop).
#pragma once

#include <QPalette>
#include <string>

#include "engine/panels/settings.h"  // Look

class QWidget;

namespace engine {

// The look the settings file names; the desktop's when it names none. When the file cannot be
// read or names something else, the desktop's, and `problem` says why in one line.
Look SavedLook(std::string& problem);
// Remembers the look with the other settings; false when the settings file cannot be written.
bool SaveLook(Look look);
// Our palettes (the desktop's for Look::desktop, as it was before any other was applied).
QPalette LookPalette(Look look);
void ApplyLook(Look look);
Look AppliedLook();
// Adds the View menu (Light, Dark, Desktop) to a main window. The first call applies the
// saved look and says on the status line when the saved one could not be used.
void AddViewMenu(QWidget* window);

}  // namespace engine
