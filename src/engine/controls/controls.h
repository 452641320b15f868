// The engine's own controls, for what Qt's widgets lack. Panel resources name them as
// promoted widgets, so Qt Designer opens and saves the files.
#pragma once

#include "engine/controls/large_display.h"
#include "engine/controls/numeric_entry.h"
#include "engine/controls/numeric_indicator.h"
#include "engine/controls/rate_meter.h"
#include "engine/controls/timer_control.h"
