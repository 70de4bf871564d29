#!/usr/bin/env bash
# The Debian package: what it holds and what it depends on, its licences,
# README, manual pages and desktop entry, then the programs run from it
# unpacked into a temporary root with a temporary HOME. radar_service must
# find its tables there by itself and answer; the program must seed the
# per-user folder from the share folder, keep the user's own vesk.ini byte
# for byte, and complete a cycle against that service.
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
doc=./usr/share/doc/nimbrel
man=./usr/share/man/man1
expected=(./usr/bin/nimbrel ./usr/bin/radar_service
          ./usr/share/applications/nimbrel.desktop
          ./usr/share/icons/hicolor/scalable/apps/nimbrel.svg
          "$doc/copyright" "$doc/README" "$man/nimbrel.1.gz" "$man/radar_service.1.gz")
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
dpkg-deb -f "$deb" Description | grep -q 'server\.ini' ||
  fail "the description does not say the program needs server.ini or the local service"

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
desktop="$root/fs/usr/share/applications/nimbrel.desktop"
grep -q '^Name\[ja\]=ノクタル$' "$desktop" || fail "desktop entry lacks the Japanese name"
grep -q '^Comment=.*server\.ini' "$desktop" || fail "desktop entry's Comment does not name server.ini"
command -v desktop-file-validate >/dev/null ||
  fail "desktop-file-validate is missing (desktop-file-utils; scripts/setup.sh installs it)"
# Errors and hints alike: it prints nothing for a clean entry.
if ! validated="$(desktop-file-validate "$desktop" 2>&1)" || [ -n "$validated" ]; then
  fail "desktop-file-validate: ${validated:-failed}"
fi

# The copyright file in Debian's machine-readable form: the format line
# first, fields or continuation lines only, a Files: * paragraph, and every
# licence a Files paragraph names given its text in a License paragraph.
copyright="$root/fs/usr/share/doc/nimbrel/copyright"
head -n1 "$copyright" |
  grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright does not start with the Format line"
grep -qx 'Files: \*' "$copyright" || fail "copyright has no 'Files: *' paragraph"
problems="$(awk '
  /^$/ { in_files = 0; next }
  /^[ \t]/ { if (last == "License") texts[name] = 1; next }
  !/^[A-Za-z][A-Za-z-]*:/ { print "line " NR " is neither a field nor a continuation" }
  { last = $1; sub(/:$/, "", last) }
  last == "Files" { in_files = 1; files++ }
  last == "Copyright" && in_files { copyrights++ }
  last == "License" { name = $2; if (in_files) used[name] = 1 }
  END {
    if (!files || copyrights < files) print "a Files paragraph lacks Copyright"
    for (l in used) if (!(l in texts)) print "no licence text for " l
  }' "$copyright")"
[ -z "$problems" ] || fail "copyright: $problems"
grep -q 'server\.ini' "$root/fs/usr/share/doc/nimbrel/README" || fail "README does not name server.ini"
# The manual page lists every option radar_service --help names.
service_help="$("$root/fs/usr/bin/radar_service" --help)" || fail "radar_service --help failed"
service_man="$(zcat "$root/fs/usr/share/man/man1/radar_service.1.gz" | tr -d '\\')" ||
  fail "radar_service.1.gz is not gzip"
for option in $(grep -o -- '--[a-z][a-z-]*' <<<"$service_help" | sort -u); do
  grep -q -- "$option" <<<"$service_man" || fail "radar_service.1 lacks $option"
done
zcat "$root/fs/usr/share/man/man1/nimbrel.1.gz" | grep -q '^\.TH NIMBREL 1' ||
  fail "nimbrel.1.gz is not nimbrel's manual page"

home="$root/home"
user="$home/.local/share/nimbrel"
mkdir -p "$user" "$home/.config/nimbrel"
# The user's own settings: Tokyo, so the program does not ask for a place.
printf '6,"35.6895","139.6917",840,615,0,0,0,0\r\n0,0,0,0,0,0,0,0,0,0,0,0,35.6895,139.6917,0,0,0,0,0,0,0,0,\r\n' \
  >"$user/vesk.ini"
cp "$user/vesk.ini" "$root/vesk.ini.before"

# The service with no table named reads the one of the share folder.
grep -q "$root/fs/usr/share/nimbrel/area_map.ini" <<<"$service_help" ||
  fail "radar_service --help does not name the share folder's table: $service_help"
"$root/fs/usr/bin/radar_service" --port 0 >"$root/service.out" 2>&1 &
service_pid=$!
port=""
for _ in $(seq 1 100); do
  port="$(sed -n 's/^listening on \([0-9]*\)$/\1/p' "$root/service.out")"
  [ -n "$port" ] && break
  kill -0 "$service_pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$port" ] || fail "radar_service did not start: $(cat "$root/service.out")"
curl -fsS -o "$root/basemap.png" "http://127.0.0.1:$port/xbandradar/map/kanto/2/basemap1.png" ||
  fail "radar_service does not serve a base map"
[ "$(head -c 4 "$root/basemap.png" | od -An -tx1 | tr -d ' ')" = 89504e47 ] ||
  fail "the base map is not a PNG"
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

kill "$service_pid"
wait "$service_pid"
service_status=$?
service_pid=""
[ "$service_status" -eq 0 ] || fail "radar_service ended with $service_status on SIGTERM"
echo "package: contents, dependencies, licences, README, manual pages, desktop entry, the"
echo "service on its own tables, seeding, kept vesk.ini and a completed cycle all fine"
