#!/usr/bin/env bash
# Refreshes the pictures of both panels in docs/, light and dark, taken offscreen (no display
# needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build >/dev/null
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tools/panel_screenshots docs
QT_QPA_PLATFORM=offscreen build/tools/panel_screenshots docs dark
