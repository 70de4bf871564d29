#!/usr/bin/env bash
# Checks that every include runs down the floors of the house (or stays on
# its own floor) and that no two folders include each other. Folders aside
# (service, tests, fuzz, bench, data) may use any floor but are not used by it.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A floor=([base]=1 [platform]=2 [settings]=3 [cycle]=3 [imaging]=3 [forecast]=3
                  [app]=4 [service]=9 [tests]=9 [fuzz]=9 [bench]=9 [data]=9 [tools]=9)
status=0
declare -A edges=()
while IFS=: read -r file include; do
  from="${file%%/*}"
  to="${include%%/*}"
  [ "$from" = "$to" ] && continue
  [ -n "${floor[$to]:-}" ] || continue
  if [ -z "${floor[$from]:-}" ]; then continue; fi
  edges["$from>$to"]=1
  if [ "${floor[$to]}" -gt "${floor[$from]}" ] || [ "${floor[$to]}" = 9 ] && [ "${floor[$from]}" != 9 ]; then
    echo "upward: $file includes $include"
    status=1
  fi
done < <(git ls-files '*.h' '*.cpp' | xargs grep -Ho '^#include "[a-z_]*/[^"]*"' | sed 's/#include "//; s/"$//')
for e in "${!edges[@]}"; do
  from="${e%>*}"; to="${e#*>}"
  if [ -n "${edges[$to>$from]:-}" ] && [ "${floor[$from]}" != 9 ]; then
    echo "circle: $from and $to include each other"
    status=1
  fi
done
[ $status = 0 ] && echo "floors: every include runs down, no folder circles"
exit $status
