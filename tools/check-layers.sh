#!/bin/sh
# SPDX-License-Identifier: MIT
# Checks that no source includes a header of a higher stage, and that the
# core knows nothing of windows: no dlopen, no display probe, no usage text.
# Stages, bottom to top: text, platform, outline, settings, output, app,
# gui/preview, gui/window.
set -eu
cd "$(dirname "$0")/.."
rank() {
  case $1 in
    core/text/*) echo 0 ;; core/platform/*) echo 1 ;; core/outline/*) echo 2 ;;
    core/settings/*) echo 3 ;; core/output/*) echo 4 ;; app/*) echo 5 ;;
    gui/preview/*) echo 6 ;; gui/window/*) echo 7 ;; *) echo 9 ;;
  esac
}
status=0
for file in $(cd src && find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort); do
  own=$(rank "$file")
  for inc in $(sed -n 's/^#include "\([^"]*\)".*/\1/p' "src/$file"); do
    if [ "$(rank "$inc")" -gt "$own" ]; then
      echo "src/$file includes $inc, a higher stage"
      status=1
    fi
  done
done
if grep -rlE 'dlopen|dlsym|DISPLAY|WAYLAND_DISPLAY|使い方' src/core; then
  echo "the core above knows of windows, displays or usage texts"
  status=1
fi
[ $status -eq 0 ] && echo "layers: every include points down; the core knows no window"
exit $status
