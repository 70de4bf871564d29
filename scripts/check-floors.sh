#!/usr/bin/env bash
# The build keeps the floors for what it compiles (cmake/floors.cmake): a file
# sees only the folders its target links, and the links run down the floors
# without circles. This checks what the build cannot see:
# - A header is compiled only inside the files that include it, with their
#   include roots. A header that no file of its own folder includes (base/rgb.h,
#   for one) could include from the floors that use it and still compile. So
#   every include of every file is held to the floor table here: it runs down
#   the floors or stays on its own, never into a folder aside, and no two
#   folders include each other.
# - An include that climbs out of a folder ("../app/form1.h") or names an
#   absolute path is found without any include root; none is allowed.
# The floor table is the one in cmake/floors.cmake.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A floor=()
for entry in $(sed -n 's/^set(NIMBREL_FLOORS \(.*\))$/\1/p' cmake/floors.cmake); do
  floor["${entry%=*}"]="${entry#*=}"
done
for folder in $(sed -n 's/^set(NIMBREL_ASIDE \(.*\))$/\1/p' cmake/floors.cmake); do
  floor["$folder"]=aside
done
if [ -z "${floor[base]:-}" ]; then
  echo "check-floors: no floor table in cmake/floors.cmake" >&2
  exit 2
fi

status=0
declare -A edges=()
while IFS=: read -r file include; do
  case "/$include/" in
    //* | */../*)
      echo "climbs: $file includes $include"
      status=1
      continue
      ;;
  esac
  case "$include" in */*) ;; *) continue ;; esac  # a file of its own folder
  from="${file%%/*}"
  to="${include%%/*}"
  [ "$from" = "$to" ] && continue
  # Files aside, and includes of what is not one of the folders, are free.
  [ -n "${floor[$from]:-}" ] && [ "${floor[$from]}" != aside ] || continue
  [ -n "${floor[$to]:-}" ] || continue
  if [ "${floor[$to]}" = aside ]; then
    echo "aside: $file includes $include"
    status=1
    continue
  fi
  edges["$from>$to"]=1
  if [ "${floor[$to]}" -gt "${floor[$from]}" ]; then
    echo "upward: $file includes $include"
    status=1
  fi
done < <(git ls-files '*.h' '*.cpp' '*.inc' | xargs grep -Ho '^#include "[^"]*"' | sed 's/#include "//; s/"$//')
for e in "${!edges[@]}"; do
  from="${e%>*}"
  to="${e#*>}"
  if [ -n "${edges[$to>$from]:-}" ] && [[ "$from" < "$to" ]]; then
    echo "circle: $from and $to include each other"
    status=1
  fi
done
[ $status = 0 ] && echo "floors: every include runs down or stays on its floor, none climbs out, no folder circles"
exit $status
