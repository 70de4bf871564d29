#!/usr/bin/env bash
# Installs what building, running and testing need on Debian 12. Packages
# already present are left alone; nothing is installed when all are there.
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
  dpkg-dev file nlohmann-json3-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
