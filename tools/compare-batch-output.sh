#!/bin/sh
# SPDX-License-Identifier: MIT
# Converts every settings file of tools/batch-samples (and the bundled
# example) with two builds of the program and compares what they write:
# exit status, messages and the SVG bytes. For changes that must not change
# any output, such as a restructuring.
#
#   tools/compare-batch-output.sh OLD_GLYPHOR [NEW_GLYPHOR]   (default new: build/glyphor)
#
# Keep a copy of the old build first, with its share/ folder beside it:
#   mkdir /tmp/old && cp -a build/glyphor build/share /tmp/old/
set -eu
cd "$(dirname "$0")/.."
OLD=${1:?usage: $0 OLD_GLYPHOR [NEW_GLYPHOR]}
NEW=${2:-build/glyphor}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for gly in tools/batch-samples/*.gly examples/sample.gly; do
  name=$(basename "$gly" .gly)
  for side in old new; do
    mkdir -p "$work/$side"
    cp "$gly" "$work/$side/$name.gly"
    bin=$OLD; [ "$side" = new ] && bin=$NEW
    set +e
    env -i PATH=/usr/bin:/bin HOME="$work/home-$side" LC_ALL=C.UTF-8 GLYPHOR_NO_FACE_CACHE=1 \
      "$bin" "$work/$side/$name.gly" >"$work/$side/$name.out" 2>"$work/$side/$name.err"
    echo $? >"$work/$side/$name.status"
    set -e
    sed -i "s|$work/$side|DIR|g" "$work/$side/$name.err"
  done
  verdict=same
  for ext in status out err svg; do
    if [ -f "$work/old/$name.$ext" ] || [ -f "$work/new/$name.$ext" ]; then
      cmp -s "$work/old/$name.$ext" "$work/new/$name.$ext" || { verdict="DIFFERENT ($ext)"; status=1; }
    fi
  done
  echo "$name: $verdict"
done
exit $status
