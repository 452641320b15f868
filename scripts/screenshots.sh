#!/usr/bin/env bash
# Refreshes docs/port-panel.png and docs/main-panel.png, taken offscreen (no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh build >/dev/null
mkdir -p docs
QT_QPA_PLATFORM=offscreen build/tools/panel_screenshots docs
