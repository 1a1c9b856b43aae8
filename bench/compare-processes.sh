#!/bin/sh
# Times whole processes, in one run: glyphor converting a .gly with a
# 200-character text, against hb-view and pango-view writing SVG for the same
# text and font. Prints the mean times and the ratios.
# Needs: build/glyphor, hb-view (libharfbuzz-bin), pango-view (pango1.0-tools).
set -eu
cd "$(dirname "$0")/.."
GLYPHOR=${GLYPHOR:-build/glyphor}
RUNS=${RUNS:-50}
for tool in hb-view pango-view fc-match; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$GLYPHOR" ] || { echo "build glyphor first ($GLYPHOR)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TEXT=$(python3 -c 'p=["GLYPHOR ","袋文字","は","Outline ","テキスト","輪郭線","SVG "];s="".join(p*20);print(s[:200])')
FONT_FILE=$(fc-match -f '%{file}' IPAPGothic)
printf '[Font]\r\nFontName=IPAPGothic\r\nFontSize=72\r\nFontText=%s\r\n[SVG]\r\nView=0\r\n' "$TEXT" > "$work/t.gly"

# Mean wall time of a command over $RUNS runs, in microseconds.
mean_us() {
  start=$(date +%s%N)
  i=0
  while [ $i -lt "$RUNS" ]; do "$@" >/dev/null 2>&1; i=$((i + 1)); done
  end=$(date +%s%N)
  echo $(( (end - start) / RUNS / 1000 ))
}

# One warm-up run of each, so file caches are equal.
"$GLYPHOR" "$work/t.gly"
hb-view --output-format=svg --font-size=72 -o "$work/hb.svg" "$FONT_FILE" "$TEXT"
pango-view -q --font="IPAPGothic 72" --text="$TEXT" -o "$work/pango.svg"

g=$(mean_us "$GLYPHOR" "$work/t.gly")
h=$(mean_us hb-view --output-format=svg --font-size=72 -o "$work/hb.svg" "$FONT_FILE" "$TEXT")
p=$(mean_us pango-view -q --font="IPAPGothic 72" --text="$TEXT" -o "$work/pango.svg")
echo "glyphor     ${g} us"
echo "hb-view     ${h} us   (hb-view / glyphor = $(python3 -c "print(f'{$h/$g:.2f}')"))"
echo "pango-view  ${p} us   (pango-view / glyphor = $(python3 -c "print(f'{$p/$g:.2f}')"))"

# Instruction counts do not depend on what else the machine is doing.
if command -v valgrind >/dev/null; then
  count() { valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null | sed -n 's/.*refs: *//p' | tr -d ,; }
  gi=$(count "$GLYPHOR" "$work/t.gly")
  hi=$(count hb-view --output-format=svg --font-size=72 -o "$work/hb.svg" "$FONT_FILE" "$TEXT")
  pi=$(count pango-view -q --font="IPAPGothic 72" --text="$TEXT" -o "$work/pango.svg")
  echo "instructions: glyphor $gi, hb-view $hi ($(python3 -c "print(f'{$hi/$gi:.2f}')")x), pango-view $pi ($(python3 -c "print(f'{$pi/$gi:.2f}')")x)"
fi
