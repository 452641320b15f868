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

// Reads the file at path (bytes, any encoding) into bytes; refuses anything that is not a
// regular file of at most kMaxResourceBytes. Returns the reason, empty on success.
QString ReadResourceFile(const std::string& path, QByteArray& bytes);

// Checks the panel's XML: nesting depth; no reference to another file or URL (images, icons,
// style sheets with url(), sources); integer control IDs; non-empty callback names; an ID on
// every control the engine drives; chart trace counts, history and ranges within bounds and
// finite. Returns the first fault in one line, empty when none.
QString CheckPanelXml(const QByteArray& xml);

}  // namespace engine
