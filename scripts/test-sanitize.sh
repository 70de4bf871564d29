#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into
# ./build-asan (or $BUILD_DIR) and runs every test there. Any out-of-bounds
# access, use after free or undefined behaviour stops the test it happens in.
#
# Leak detection is off: Qt and the libraries under it keep allocations
# until exit that are not this program's, and they would fail every window
# test. Leaks of the file and image readers are looked for by the fuzz
# targets (scripts/fuzz.sh), which run without Qt and with leak detection on.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build-asan}"

# Builds on a shared machine take turns through this lock.
lock="${NIMBREL_BUILD_LOCK:-/tmp/nimbrel-build.lock}"
build_cmd() {
  if command -v flock >/dev/null; then flock "$lock" "$@"; else "$@"; fi
}

start=$(date +%s)
cmake -S . -B "$build" -G Ninja -DNIMBREL_SANITIZE=ON >/dev/null
build_cmd cmake --build "$build" -j2
built=$(date +%s)

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:strict_init_order=1:check_initialization_order=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
ctest --test-dir "$build" --output-on-failure -j2 --timeout 1200 || status=$?
done_at=$(date +%s)
echo "test-sanitize.sh: build $((built - start)) s, tests $((done_at - built)) s"
exit "$status"
