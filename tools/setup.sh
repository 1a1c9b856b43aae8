#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs what GLYPHOR needs to build, run and test on Debian 12, then builds
# it into build/. Quick when everything is already there.
set -eu
cd "$(dirname "$0")/.."

PACKAGES="g++ cmake make pkg-config
  libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev libpolyclipping-dev
  qt6-base-dev libgl-dev qt6-translations-l10n libqt6svg6
  googletest libgtest-dev libbenchmark-dev locales
  libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev
  qt6-base-dev libgl-dev qt6-translations-l10n libqt6svg6
  googletest libgtest-dev libbenchmark-dev locales
  fonts-dejavu-core fonts-ipafont-gothic fonts-ipafont-mincho fonts-liberation2 fonts-urw-base35
  librsvg2-bin
  desktop-file-utils shared-mime-info libxml2-utils appstream libglib2.0-bin xvfb xauth man-db groff-base"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
fi

# CI (CI=true) treats warnings as errors.
werror=OFF
[ "${CI:-}" = true ] && werror=ON
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DGLYPHOR_WERROR=$werror >/dev/null
cmake --build build -j "$(nproc)"
