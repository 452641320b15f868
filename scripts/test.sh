#!/usr/bin/env bash
# Sets up (scripts/setup-tests.sh: the build's packages, then the tests' own), builds and runs
# every test: the normal build, then the AddressSanitizer + UndefinedBehaviorSanitizer build,
# then each fuzzer for about a minute over its seeds.
# Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-tests.sh
echo "Checking the format of the C++ sources"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "Checking that includes run down the layers and never in a circle"
scripts/check-layers.sh
export QT_QPA_PLATFORM=offscreen
scripts/build.sh build
ctest --test-dir build --output-on-failure -j2
scripts/build.sh build-sanitize -DZELMOR_SANITIZE=ON -DZELMOR_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j2
scripts/fuzz.sh 60
