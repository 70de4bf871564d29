#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all, printing the figures:
# stage benchmarks, whole cycles, start-up and memory, the real program's
# cost while it waits, its detail request to composite written (cycle_probe),
# the arrival forecast against the local service's next hour and on a
# replayed real event (docs/nowcast.md), and our PNG to BMP conversion beside
# ImageMagick's.
#
#   scripts/bench.sh [--quick]
#
# BUILD_DIR    build folder (build-bench)
# IDLE_SECONDS how long the waiting program is watched (120; --quick 30)
# CYCLE_RUNS   how many times the cycle benchmark runs (3; --quick 1)
# PEER_RUNS    runs of each whole-process converter (60; --quick 15)
# NOWCAST_CASES cases of the forecast evaluation (600; --quick 300)
# NOWCAST_SEED  its seed (2; seed 1 is the one the method was tuned on)
# BUILD_LOCK   lock file held while compiling (/tmp/nimbrel-build.lock)
#
# Needs libbenchmark-dev to build; imagemagick and hyperfine for the peer
# comparison (without hyperfine a plain loop times it), xvfb for the waiting
# program under an X server, jq to read hyperfine's results.
set -euo pipefail
cd "$(dirname "$0")/.."

quick=0
if [ "${1:-}" = "--quick" ]; then quick=1; fi
build_dir="${BUILD_DIR:-build-bench}"
lock="${BUILD_LOCK:-/tmp/nimbrel-build.lock}"
if [ $quick = 1 ]; then
  idle_seconds="${IDLE_SECONDS:-30}"; cycle_runs="${CYCLE_RUNS:-1}"; peer_runs="${PEER_RUNS:-15}"
  nowcast_cases="${NOWCAST_CASES:-300}"
  stage_args=(--benchmark_repetitions=3)
else
  idle_seconds="${IDLE_SECONDS:-120}"; cycle_runs="${CYCLE_RUNS:-3}"; peer_runs="${PEER_RUNS:-60}"
  nowcast_cases="${NOWCAST_CASES:-600}"
  stage_args=()
fi

section() { printf '\n==== %s ====\n' "$1"; }

section "Build (Release, $build_dir)"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
flock "$lock" cmake --build "$build_dir" --target benchmarks -j2 | tail -n 1
bench="$build_dir/bench"
if [ ! -x "$bench/stage_bench" ]; then
  echo "The benchmarks were not built: is libbenchmark-dev installed?" >&2
  exit 1
fi

section "Machine"
echo "cores: $(nproc)"
echo "CPU:   $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ *//')"
echo "RAM:   $(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo)"
echo "load:  $(cut -d' ' -f1-3 /proc/loadavg) (other work on the machine shows here)"
echo "kernel $(uname -r), $(ldd --version | head -n1)"

section "Stages (Google Benchmark, medians of repetitions)"
"$bench/stage_bench" "${stage_args[@]}"

section "Whole cycles, start-up and memory (offscreen, loopback), $cycle_runs run(s)"
for i in $(seq 1 "$cycle_runs"); do
  echo "-- run $i"
  QT_QPA_PLATFORM=offscreen "$bench/cycle_bench" 2>/dev/null
done

section "The real program waiting (offscreen, ${idle_seconds} s)"
"$bench/idle_probe" --program "$build_dir/bin/nimbrel" --seconds "$idle_seconds" --qpa offscreen 2>/dev/null
if command -v xvfb-run >/dev/null; then
  section "The real program waiting (Xvfb, ${idle_seconds} s)"
  xvfb-run -a -s "-screen 0 1920x1080x24" \
    "$bench/idle_probe" --program "$build_dir/bin/nimbrel" --seconds "$idle_seconds" --qpa xcb 2>/dev/null
fi

section "The window during a stalled download and a retry pause"
QT_QPA_PLATFORM=offscreen "$bench/stall_probe" 8000 2>/dev/null

section "The real program, detail request to composite written, forecast on (5 starts each)"
"$bench/cycle_probe" --program "$build_dir/bin/nimbrel" --runs 5 2>/dev/null
echo "-- the past image of 5 minutes before stalled 20 s by the service"
"$bench/cycle_probe" --program "$build_dir/bin/nimbrel" --runs 5 --stall-past 20 2>/dev/null
echo "-- killed while the past images are on the way"
"$bench/cycle_probe" --program "$build_dir/bin/nimbrel" --runs 3 --stall-past 20 --kill-during-past 2>/dev/null

section "Arrival forecast against the service's next hour ($nowcast_cases cases)"
"$bench/nowcast_eval" --seed "${NOWCAST_SEED:-2}" --cases "$nowcast_cases" --quiet

realrain="../shared/testdata/realrain/fmi-20160928"
if [ -d "$realrain" ]; then
  section "Arrival forecast on a replayed real rain event (200 cases)"
  "$bench/nowcast_eval" --replay "$realrain" --cases 200 --quiet
else
  section "Arrival forecast on a replayed real rain event: $realrain is absent, skipped"
fi

section "PNG to 8-bit BMP as a whole process: ours beside ImageMagick"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$bench/bench_image" "$work/in.png"
echo "input: $(stat -c %s "$work/in.png") bytes, $(file -b "$work/in.png" 2>/dev/null || echo PNG)"
# /usr/local/bin/convert may be a stand-in; only Debian's ImageMagick counts.
magick=/usr/bin/convert
if ! [ -x "$magick" ] || ! "$magick" -version 2>/dev/null | grep -q ImageMagick; then
  echo "ImageMagick is not installed (apt-get install imagemagick): no peer figures."
  exit 0
fi
ours=("$bench/png2bmp" "$work/in.png" "$work/ours.bmp")
# As asked of ImageMagick, it writes run-length encoded rows (BI_RLE8), which
# the program's bitmap reader refuses; with -compress none it writes the
# same kind of file as ours.
rle=("$magick" "$work/in.png" -type palette "BMP3:$work/rle.bmp")
plain=("$magick" "$work/in.png" -type palette -compress none "BMP3:$work/plain.bmp")
"${ours[@]}"
"${rle[@]}"
"${plain[@]}"
# Bits per pixel live at byte 28 of a BMP and the compression at byte 30.
bmp_kind() { echo "$(stat -c %s "$1") bytes, $(od -An -tu2 -j28 -N2 "$1" | tr -d ' ') bpp, compression $(od -An -tu4 -j30 -N4 "$1" | tr -d ' ')"; }
echo "ours:                 $(bmp_kind "$work/ours.bmp")"
echo "convert:              $(bmp_kind "$work/rle.bmp")"
echo "convert -compress none: $(bmp_kind "$work/plain.bmp")"

if command -v hyperfine >/dev/null; then
  hyperfine -N --warmup 5 --runs "$peer_runs" --export-json "$work/peer.json" \
    -n png2bmp "${ours[*]}" -n convert "${rle[*]}" -n "convert -compress none" "${plain[*]}" \
    -n "process floor (/bin/true)" /bin/true
  if command -v jq >/dev/null; then
    jq -r '.results[] | "\(.command): median \(.median * 1000 | . * 100 | round / 100) ms"' "$work/peer.json"
    jq -r '.results[0].median as $ours | .results[1:3][] | (.median / $ours) as $r |
      "\(.command) / png2bmp median ratio: \($r * 100 | round / 100) x (target >= 5 x: \(if $r >= 5 then "met" else "MISSED" end))"' \
      "$work/peer.json"
  fi
else
  # A plain loop: the median of single-run wall times.
  median_ms() {
    local times=()
    for _ in $(seq 1 "$peer_runs"); do
      local t0 t1
      t0=$(date +%s%N); "$@"; t1=$(date +%s%N)
      times+=($(( (t1 - t0) / 1000 )))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {m = NR % 2 ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2; printf "%.2f", m / 1000}'
  }
  a=$(median_ms "${ours[@]}")
  b=$(median_ms "${rle[@]}")
  c=$(median_ms "${plain[@]}")
  echo "png2bmp median $a ms; convert $b ms ($(awk -v a="$a" -v b="$b" 'BEGIN {printf "%.2f", b / a}') x);" \
    "convert -compress none $c ms ($(awk -v a="$a" -v c="$c" 'BEGIN {printf "%.2f", c / a}') x)"
fi
