#!/usr/bin/env bash
# Sets up, builds and runs every test through ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/check-floors.sh
./scripts/check-format.sh
./scripts/build.sh
# The Debian package; its ctest test unpacks and runs it.
cmake --build build --target package >/dev/null
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 --timeout 600
# A short fuzz run of every target; a fixed seed keeps it repeatable.
FUZZ_SEED=1 ./scripts/fuzz.sh 10
