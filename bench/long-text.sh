#!/bin/sh
# SPDX-License-Identifier: MIT
# Long texts through --text-file, against hb-view drawing the same text in the
# same font file as SVG: 2 000 and 20 000 Latin characters in DejaVu Sans, and
# 20 000 Latin and Japanese ones mixed in IPAPGothic (a document of about
# 16 MB). For each, hyperfine's mean wall times with the document on standard
# output (the work alone) and written to a file (synced to disk, as glyphor
# always does), then, with GNU time, the mean CPU time and the largest peak
# memory (maximum resident set size) of RUNS runs taken in turns, glyphor and
# hb-view writing files. Ratios are glyphor's to hb-view's.
#
#   bench/long-text.sh            RUNS=10 GLYPHOR=build/glyphor
#
# Needs: build/glyphor, hb-view (libharfbuzz-bin), hyperfine, fc-match,
# python3; GNU time (package time) for CPU and memory.
set -eu
cd "$(dirname "$0")/.."
GLYPHOR=$(realpath "${GLYPHOR:-build/glyphor}")
RUNS=${RUNS:-10}
for tool in hb-view hyperfine fc-match python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$GLYPHOR" ] || { echo "build glyphor first ($GLYPHOR)"; exit 1; }
GNU_TIME=/usr/bin/time
"$GNU_TIME" -f %M true >/dev/null 2>&1 || GNU_TIME=""

work=$(mktemp -d "${WORK:-$PWD/build}/long-text-XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
latin = "The quick brown fox jumps over the lazy dog. " * 500
mixed = "".join(["GLYPHOR ", "袋文字", "は", "Outline ", "テキスト", "輪郭線", "SVG "] * 2000)[:20000]
for name, text in (("latin2000", latin[:2000]), ("latin20000", latin[:20000]), ("mixed20000", mixed)):
    open(f"{work}/{name}.txt", "w", encoding="utf-8").write(text)
PY

for case in "latin2000:DejaVu Sans" "latin20000:DejaVu Sans" "mixed20000:IPAPGothic"; do
  text=${case%%:*}
  font=${case#*:}
  font_file=$(fc-match -f '%{file}' "$font")
  g="$GLYPHOR -q --font '$font' --size 72 --text-file $work/$text.txt"
  h="hb-view --font-file=$font_file --font-size=72 --output-format=svg --text-file=$work/$text.txt"
  eval "$g -o $work/g.svg" && eval "$h -o $work/h.svg"
  echo "== $text ($(wc -m <"$work/$text.txt") characters, $font): documents of $(wc -c <"$work/g.svg") bytes" \
    "(glyphor) and $(wc -c <"$work/h.svg") (hb-view)"

  hyperfine --warmup 1 --runs "$RUNS" --export-json "$work/times.json" --output=null \
    -n "glyphor, standard output" "$g -o -" \
    -n "glyphor, file" "$g -o $work/g.svg" \
    -n "hb-view, standard output" "$h -o -" \
    -n "hb-view, file" "$h -o $work/h.svg" >/dev/null
  python3 - "$work/times.json" <<'PY'
import json, sys
g, gf, h, hf = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print(f"   wall: glyphor {g * 1000:.1f} ms, hb-view {h * 1000:.1f} ms on standard output ({g / h:.2f}); "
      f"{gf * 1000:.1f} ms, {hf * 1000:.1f} ms to a file ({gf / hf:.2f})")
PY

  if [ -n "$GNU_TIME" ]; then
    : >"$work/g.times"
    : >"$work/h.times"
    i=0
    while [ $i -lt "$RUNS" ]; do
      eval "$GNU_TIME -a -o $work/g.times -f '%U %S %M' $g -o $work/g.svg"
      eval "$GNU_TIME -a -o $work/h.times -f '%U %S %M' $h -o $work/h.svg"
      i=$((i + 1))
    done
    python3 - "$work/g.times" "$work/h.times" <<'PY'
import sys
def read(path):
    rows = [list(map(float, line.split())) for line in open(path) if line.strip()]
    return sum(u + s for u, s, _ in rows) / len(rows), max(m for _, _, m in rows) / 1024
(gc, gm), (hc, hm) = read(sys.argv[1]), read(sys.argv[2])
ratio = f"{gc / hc:.2f}" if hc else "-"
print(f"   CPU: glyphor {gc * 1000:.0f} ms, hb-view {hc * 1000:.0f} ms ({ratio}); "
      f"peak memory: glyphor {gm:.1f} MiB, hb-view {hm:.1f} MiB ({gm - hm:+.1f} MiB)")
PY
  else
    echo "   CPU and peak memory: GNU time (/usr/bin/time, package time) is not installed"
  fi
done
