// A recording, or a span the chart saved, shown again in a window of its own: the same chart,
// frozen on the whole file, with its hidden traces, statistics and exports.
#pragma once

#include <QString>
#include <QWidget>

#include "engine/chart/recorded_history.h"

// The resolution a recording's values are kept in: a 12-bit converter's step over 2.5 V, as the
// program's chart keeps them.
constexpr double kViewerResolution = 2.5 / 4096;

// A new top-level window showing `recording`; deleted when closed.
QWidget* ShowRecordingWindow(RecordedHistory recording);
// Asks for a file (the documents folder first) and shows it; a file refused is said in a
// message box, with its line. For the chart's menu, Ctrl+O, and a program's File menu.
void OpenRecordingFromDialog(QWidget* parent);
