#!/usr/bin/env bash
# Sets up, builds and starts zelmor on the simulated converter. Any arguments go to zelmor
# (see scripts/run.sh --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
echo "Building zelmor in build/ (the first build takes a few minutes)"
scripts/build.sh build
exec build/src/ui/zelmor "$@"
