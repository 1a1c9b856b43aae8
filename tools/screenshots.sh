#!/bin/sh
# SPDX-License-Identifier: MIT
# Starts the built program under Xvfb, brings up each of the three pages and
# saves the window as page-1.png ... page-3.png, then quits.
# Usage: tools/screenshots.sh [build folder] [output folder]
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-screenshots}
mkdir -p "$out"
out=$(cd "$out" && pwd)

# A throw-away settings folder, so the run neither reads nor writes the
# user's settings.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# The settings file beside the executable wins when its folder is writable;
# point the program at an empty configuration instead by running a copy.
cp "$build/glyphor" "$config/glyphor"
[ -f "$build/libglyphor_window.so" ] && cp "$build/libglyphor_window.so" "$config/"
[ -d "$build/share" ] && cp -r "$build/share" "$config/"

unset QT_QPA_PLATFORM WAYLAND_DISPLAY
GLYPHOR_SCREENSHOT_DIR="$out" XDG_CONFIG_HOME="$config" \
  xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" "$config/glyphor"
ls "$out"/page-*.png
