#!/bin/sh
# SPDX-License-Identifier: MIT
# Times whole processes: the classic batch conversion of a .gly holding 200
# mixed Latin and Japanese characters at 1200 dpi with a 1 mm stroke, as the
# normal SVG, as the cut-ready SVG (CutReady=1) and as DXF. Prints the mean
# times and the ratios to the normal conversion; the goal is under 3.
# Needs: build/glyphor. RUNS (default 40) sets the number of runs.
set -eu
cd "$(dirname "$0")/.."
GLYPHOR=${GLYPHOR:-build/glyphor}
RUNS=${RUNS:-40}
FONT=${FONT:-IPAPGothic}
[ -x "$GLYPHOR" ] || { echo "build glyphor first ($GLYPHOR)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TEXT=$(python3 -c 'p="Glyph outlines 文字の輪郭を切り抜く Cut-ready 東京タワーと夜景 ";print((p*5)[:200])')
for cut in 0 1; do
  printf '[Font]\r\nFontName=%s\r\nFontSize=100\r\nFontText=%s\r\nFontStrokeWidth=100\r\n[SVG]\r\nResolution=1200\r\nView=0\r\nCutReady=%s\r\n' \
    "$FONT" "$TEXT" "$cut" > "$work/t$cut.gly"
done

# Mean wall time of a command over $RUNS runs, in microseconds.
mean_us() {
  start=$(date +%s%N)
  i=0
  while [ $i -lt "$RUNS" ]; do "$@" >/dev/null 2>&1; i=$((i + 1)); done
  end=$(date +%s%N)
  echo $(( (end - start) / RUNS / 1000 ))
}

# One warm-up run of each, so file caches are equal.
"$GLYPHOR" "$work/t0.gly"
"$GLYPHOR" "$work/t1.gly"
"$GLYPHOR" -q -o "$work/t.dxf" "$work/t0.gly"

n=$(mean_us "$GLYPHOR" "$work/t0.gly")
c=$(mean_us "$GLYPHOR" "$work/t1.gly")
d=$(mean_us "$GLYPHOR" -q -o "$work/t.dxf" "$work/t0.gly")
echo "normal SVG     ${n} us  $(wc -c < "$work/t0.svg") bytes"
echo "cut-ready SVG  ${c} us  $(wc -c < "$work/t1.svg") bytes  (cut-ready / normal = $(python3 -c "print(f'{$c/$n:.2f}')"))"
echo "DXF            ${d} us  $(wc -c < "$work/t.dxf") bytes  (DXF / normal = $(python3 -c "print(f'{$d/$n:.2f}')"))"
