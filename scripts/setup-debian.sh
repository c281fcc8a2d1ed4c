#!/usr/bin/env bash
# Installs every Debian package the build, the program and the tests need. Safe to run again:
# it only calls apt when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-multimedia-dev libgl-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly gstreamer1.0-libav
  libgtest-dev libgmock-dev libbenchmark-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libmp3lame-dev libtag1-dev libjpeg62-turbo-dev
  xvfb xauth fonts-noto-cjk fonts-dejavu-core curl time
  dpkg-dev file librsvg2-bin desktop-file-utils appstream man-db
  qt6-translations-l10n qt6-l10n-tools libxcb1-dev libqt6sql6-sqlite dbus-daemon
  tinyproxy microsocks
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi
