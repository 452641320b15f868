// What a panel resource must be before Qt's loader is given it. The loader trusts its input:
// it follows references to other files, recurses once per nesting level, and sizes a chart
// from whatever the file says. A resource is a file anyone may edit, so it is held to the
// shape a panel has first.
#pragma once

#include <QByteArray>
#include <QString>
#include <string>

#include "engine/chart/chart_limits.h"

namespace engine {

constexpr long kMaxResourceBytes = 4L << 20;  // the two panels are 10-20 KB
constexpr int kMaxResourceDepth = 64;         // XML elements inside each other
constexpr int kMaxResourceWidgets = 1000;     // the main panel has 61; each is made and painted

// Reads the file at path (bytes, any encoding) into bytes; refuses anything that is not a
// regular file of at most kMaxResourceBytes. Returns the reason, empty on success.
QString ReadResourceFile(const std::string& path, QByteArray& bytes);

// Checks the panel's XML against what the engine builds panels from, and nothing more: the
// elements a panel is made of, where each may lie and the attributes it may carry; the widget
// and layout classes of the control kinds and of the plain containers; the properties each
// class may carry, each with its value's type; values that are whole or finite numbers,
// names, plain text (no markup) and sizes within a screen; the kinds' own rules (IDs,
// callbacks, ranges within what the controls draw). Anything else, such as images, icons,
// style sheets, references to other files, declarations or entities, is refused. Returns
// the first fault in one line, "line N, <element>: fault", empty when none.
QString CheckPanelXml(const QByteArray& xml);

}  // namespace engine
