#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test. Safe to run again.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-serialport-dev qt6-qpa-plugins
  qt6-websockets-dev
  libgl-dev libglx-dev libvulkan-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-tools
  libturbojpeg0-dev libjpeg62-turbo-dev
  libpugixml-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation2
  poppler-utils
  python3
  chromium
  cups printer-driver-cups-pdf
  lintian desktop-file-utils appstream file man-db ghostscript
  ffmpeg
  clang-14 libclang-rt-14-dev
  clang-format-14  # the house style's formatter: Debian 12's version, so every machine formats alike
  arduino-mk arduino-core-avr
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
