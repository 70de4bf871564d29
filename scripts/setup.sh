#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Packages
# already present are left alone; nothing is installed when all are there.
# Nothing the user has is removed: when a package here conflicts with an
# installed one, the script stops, names both and changes nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libcurl4-openssl-dev libpng-dev libasound2-dev libsndfile1-dev
  libcpp-httplib-dev libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-liberation
  xvfb clang libclang-rt-14-dev
  imagemagick hyperfine jq
  libopencv-video-dev qt6-translations-l10n dbus clang-format
  dpkg-dev file nlohmann-json3-dev desktop-file-utils curl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# The installed packages apt-get would remove to install the given ones, as
# its simulation (which needs no root and changes nothing) says.
would_remove() {
  LC_ALL=C apt-get install -s --no-install-recommends --no-upgrade "$@" 2>/dev/null |
    sed -n 's/^Remv \([^ ]*\).*/\1/p'
}

refuse_removal() {
  echo "setup: apt-get would have to remove packages to install these; nothing was changed." >&2
  echo "  to install:      ${missing[*]}" >&2
  echo "  it would remove: $(paste -sd ' ' <<<"$1")" >&2
  echo "  They conflict with what the project needs (often another flavour of the same" >&2
  echo "  -dev package). Remove them yourself if you can do without them, then run this again." >&2
  exit 1
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  # sudo drops the caller's environment; env passes the frontend through.
  apt=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get)
  "${apt[@]}" update -qq
  removed="$(would_remove "${missing[@]}")"
  [ -z "$removed" ] || refuse_removal "$removed"
  # --no-remove makes apt-get fail rather than remove anything, should its
  # answer differ from the simulation's; --no-upgrade keeps a package of the
  # list that is there after all at its version. Nothing else is upgraded
  # but what a new package needs.
  if ! "${apt[@]}" install -y -qq --no-install-recommends --no-remove --no-upgrade "${missing[@]}"; then
    removed="$(would_remove "${missing[@]}")"
    [ -z "$removed" ] || refuse_removal "$removed"
    echo "setup: apt-get could not install: ${missing[*]}" >&2
    exit 1
  fi
fi
