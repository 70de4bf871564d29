#!/usr/bin/env bash
# The Debian package: what it holds and what it depends on, then the program
# run from it unpacked into a temporary root with a temporary HOME. It must
# seed the per-user folder from the share folder, keep the user's own
# vesk.ini byte for byte, and complete a cycle against the radar service
# from the same package.
# Usage: package_test.sh path/to/nimbrel_<version>_amd64.deb
set -uo pipefail

deb="${1:-}"
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
  echo "SKIPPED: no package at '${deb}'; build it with: cmake --build build --target package"
  exit 77
fi

fail() { echo "FAIL: $*"; exit 1; }

shares=(area_map.ini toshi.ini RING3.WAV SOUND36.WAV SOUND38.WAV RING3s.WAV SOUND36s.WAV SOUND38s.WAV)

# --- contents -------------------------------------------------------------
contents="$(dpkg-deb --contents "$deb")" || fail "dpkg-deb cannot read $deb"
expected=(./usr/bin/nimbrel ./usr/bin/radar_service
          ./usr/share/applications/nimbrel.desktop
          ./usr/share/icons/hicolor/scalable/apps/nimbrel.svg)
for f in "${shares[@]}"; do expected+=("./usr/share/nimbrel/$f"); done
for f in "${expected[@]}"; do
  grep -q " ${f}\$" <<<"$contents" || fail "package lacks $f"
done
# Nothing of the build (tests, benchmarks, generators) is shipped.
shipped_bins="$(grep -c ' ./usr/bin/[^/][^/]*$' <<<"$contents")"
[ "$shipped_bins" -eq 2 ] || fail "expected 2 programs in /usr/bin, found $shipped_bins"

depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6dbus6 libcurl libpng16 libasound2 libsndfile1; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "not an amd64 package"

# --- unpacked and run -----------------------------------------------------
root="$(mktemp -d /tmp/nimbrel-package-XXXXXX)"
service_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null
  [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT

dpkg-deb -x "$deb" "$root/fs" || fail "dpkg-deb -x failed"
grep -q '^Name\[ja\]=ノクタル$' "$root/fs/usr/share/applications/nimbrel.desktop" ||
  fail "desktop entry lacks the Japanese name"

home="$root/home"
user="$home/.local/share/nimbrel"
mkdir -p "$user" "$home/.config/nimbrel"
# The user's own settings: Tokyo, so the program does not ask for a place.
printf '6,"35.6895","139.6917",840,615,0,0,0,0\r\n0,0,0,0,0,0,0,0,0,0,0,0,35.6895,139.6917,0,0,0,0,0,0,0,0,\r\n' \
  >"$user/vesk.ini"
cp "$user/vesk.ini" "$root/vesk.ini.before"

"$root/fs/usr/bin/radar_service" --port 0 --area-map "$root/fs/usr/share/nimbrel/area_map.ini" \
  >"$root/service.out" 2>&1 &
service_pid=$!
port=""
for _ in $(seq 1 100); do
  port="$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$root/service.out")"
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || fail "radar_service did not start: $(cat "$root/service.out")"
echo "http://127.0.0.1:$port" >"$home/.config/nimbrel/server.ini"

(
  cd "$root" &&
    exec env -u XDG_DATA_HOME -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen \
      "$root/fs/usr/bin/nimbrel" >"$root/program.out" 2>&1
) &
program_pid=$!
for _ in $(seq 1 1200); do
  [ -s "$user/vesk_image.bmp" ] && break
  kill -0 "$program_pid" 2>/dev/null || break
  sleep 0.1
done
[ -s "$user/vesk_image.bmp" ] ||
  fail "no completed cycle in $user; program said: $(cat "$root/program.out")"
kill "$program_pid" 2>/dev/null
wait "$program_pid" 2>/dev/null
program_pid=""

for f in "${shares[@]}"; do
  cmp -s "$root/fs/usr/share/nimbrel/$f" "$user/$f" || fail "$f not seeded into $user"
done
cmp -s "$root/vesk.ini.before" "$user/vesk.ini" || fail "the user's vesk.ini was changed"
[ ! -e "$root/fs/usr/bin/vesk_image.bmp" ] || fail "the program wrote beside its executable"
echo "package: contents, dependencies, seeding, kept vesk.ini and a completed cycle all fine"
