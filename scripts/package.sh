#!/usr/bin/env bash
# Builds the Debian package from a configured build folder (default: build, as
# ./test.sh leaves it), checks it as a maintainer would (lintian, the desktop
# entry, the AppStream metainfo), installs it, starts the installed program
# offscreen and removes the package again. Needs root (or sudo) to install.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

cmake --build "$BUILD_DIR" -j"$(nproc)" --target houndex houndex-nx3 houndex-trace houndex_docs
rm -f "$BUILD_DIR"/houndex-hdmi_*.deb
(cd "$BUILD_DIR" && cpack -G DEB)
deb=$(ls "$BUILD_DIR"/houndex-hdmi_*.deb)
echo "package: $deb"

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage"
for bin in houndex houndex-nx3 houndex-trace; do
  if file "$stage/usr/bin/$bin" | grep -q "not stripped"; then
    echo "not stripped: $bin" >&2
    exit 1
  fi
done
# The web server's library is found by dpkg-shlibdeps.
dpkg-deb -f "$deb" Depends | grep -q libqt6websockets6 || { echo "the package does not depend on libqt6websockets6" >&2; exit 1; }
# The package is the program and its tools: the harness app stays out.
if [ -e "$stage/usr/bin/houndex-sim" ]; then
  echo "the package carries the harness app houndex-sim" >&2
  exit 1
fi
desktop-file-validate "$stage"/usr/share/applications/houndex-hdmi.desktop
appstreamcli validate --no-net "$stage"/usr/share/metainfo/*.metainfo.xml
# Errors fail the check; warnings are printed.
lintian --fail-on error --tag-display-limit 0 "$deb"

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -q --no-install-recommends "$(realpath "$deb")"
version=$(QT_QPA_PLATFORM=offscreen /usr/bin/houndex --version)
echo "installed: $version"
[ "$version" = "houndex $(dpkg-deb -f "$deb" Version)" ]
/usr/bin/houndex-nx3 --version
if /usr/bin/houndex --help | grep -qE -- '--(demo|meeting)'; then
  echo "the installed program offers a harness option" >&2
  exit 1
fi
man -w houndex houndex-nx3 houndex-trace >/dev/null
$SUDO apt-get purge -y -q houndex-hdmi
if [ -e /usr/bin/houndex ] || dpkg-query -W houndex-hdmi >/dev/null 2>&1; then
  echo "the package did not remove cleanly" >&2
  exit 1
fi
echo "package checks passed"
