#!/usr/bin/env bash
# Refreshes the pictures of both panels in docs/, taken offscreen (no display needed): light
# and dark, and light at a scale factor of 1.5 (as on a high-density screen).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build >/dev/null
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tools/panel_screenshots docs light
QT_QPA_PLATFORM=offscreen build/tools/panel_screenshots docs dark
QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=1.5 build/tools/panel_screenshots docs light scale-1.5
