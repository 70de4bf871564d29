#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer into ./build-fuzz and runs
# each for a while on a copy of its seed corpus. Fails when any target
# reports a crash, a leak, a sanitizer error, a timeout or running out of
# memory; what broke is kept in build-fuzz/artifacts/<target>/.
#
#   scripts/fuzz.sh [seconds per target, default 10] [target ...]
#   FUZZ_SEED=N scripts/fuzz.sh ...   the same mutations on every run
#   scripts/fuzz.sh --seeds    write the made seeds into fuzz/corpus again (inputs
#                              kept there from earlier findings stay)
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-fuzz
all_targets=(fuzz_imgtobmp fuzz_bitmap fuzz_settings fuzz_region_table fuzz_cities)

# Longest input per target: enough for the real files and small images.
max_len() {
  case "$1" in
    fuzz_imgtobmp) echo 16384 ;;
    fuzz_bitmap) echo 32768 ;;
    fuzz_settings) echo 2048 ;;
    fuzz_region_table) echo 8192 ;;
    fuzz_cities) echo 16384 ;;
  esac
}

extra_flags() {
  case "$1" in
    fuzz_imgtobmp) echo "-dict=fuzz/png.dict" ;;
  esac
}

if ! command -v clang++ >/dev/null; then
  echo "fuzz.sh: clang++ is missing (Debian: apt-get install clang libclang-rt-14-dev)" >&2
  exit 1
fi
if [ ! -f "$(clang++ -print-resource-dir)/lib/linux/libclang_rt.fuzzer-$(uname -m).a" ]; then
  echo "fuzz.sh: libFuzzer is missing (Debian: apt-get install libclang-rt-14-dev)" >&2
  exit 1
fi

# Builds on a shared machine take turns through this lock.
lock="${NIMBREL_BUILD_LOCK:-/tmp/nimbrel-build.lock}"
build_cmd() {
  if command -v flock >/dev/null; then flock "$lock" "$@"; else "$@"; fi
}

cmake -S fuzz -B "$build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null

if [ "${1:-}" = "--seeds" ]; then
  build_cmd cmake --build "$build" --target make_seeds -j2
  "$build/make_seeds" fuzz/corpus .
  echo "seed corpora written to fuzz/corpus"
  exit 0
fi

seconds="${1:-10}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=("${all_targets[@]}"); fi

build_cmd cmake --build "$build" --target "${targets[@]}" -j2

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:allocator_may_return_null=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
failed=()
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  artifacts="$build/artifacts/$t/"
  log="$build/logs/$t.log"
  # The targets write their files into a folder of their own, in memory
  # where there is a tmpfs: replacing files on disk waits for the disk.
  scratch_root="$build/tmp"
  if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch_root="/dev/shm/nimbrel-fuzz-$$"; fi
  scratch="$scratch_root/$t"
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")" "$scratch"
  cp -n fuzz/corpus/"$t"/* "$corpus"/ 2>/dev/null || true
  echo "== $t: ${seconds} s"
  status=0
  # No single allocation above 256 MB: inputs are a few kilobytes, and the
  # readers' limits keep their own buffers far below that.
  TMPDIR="$scratch" "$build/$t" "$corpus" -max_total_time="$seconds" -max_len="$(max_len "$t")" \
    -timeout=25 -rss_limit_mb=2048 -malloc_limit_mb=256 -print_final_stats=1 -artifact_prefix="$artifacts" \
    ${FUZZ_SEED:+-seed="$FUZZ_SEED"} $(extra_flags "$t") >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  rmdir "$scratch_root" 2>/dev/null || true
  runs="$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | awk '{print $2}' | tail -1)"
  if [ "$status" -ne 0 ] ||
     grep -aqE 'ERROR: (AddressSanitizer|LeakSanitizer|UndefinedBehaviorSanitizer|libFuzzer)|runtime error:|check failed:' "$log"; then
    echo "   FAILED (exit $status) after ${runs:-?} runs; log: $log, input: $artifacts"
    grep -aE 'ERROR:|runtime error:|check failed:|SUMMARY:|Test unit written' "$log" | head -8 | sed 's/^/   /'
    failed+=("$t")
  else
    echo "   ok: ${runs:-?} runs, corpus $(find "$corpus" -type f | wc -l) files"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: failed: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: all ${#targets[@]} targets ok"
