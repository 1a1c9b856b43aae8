#!/bin/sh
# Whole processes side by side: glyphor converting a text to SVG against
# hb-view and pango-view writing SVG for the same text and font. Three texts:
# 200 characters of Latin and Japanese mixed in DejaVu Sans (the Japanese ones
# from a fallback face; glyphor's face cache warm), 2 000 and 20 000 Latin
# characters. The programs take turns run by run (glyphor, hb-view,
# pango-view, glyphor, ...), so that the machine's drift falls on all alike.
# Prints mean wall times, peak memory and, with valgrind, instruction counts,
# which the machine's load does not disturb; ratios are glyphor's to the
# others'. hb-view is given the font file and draws boxes for the characters
# its font lacks.
#
#   bench/compare-processes.sh            RUNS=50 GLYPHOR=build/glyphor
#
# Needs: build/glyphor, hb-view (libharfbuzz-bin), pango-view (pango1.0-tools);
# valgrind and GNU time when present.
set -eu
cd "$(dirname "$0")/.."
GLYPHOR=${GLYPHOR:-build/glyphor}
RUNS=${RUNS:-50}
for tool in hb-view pango-view fc-match python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$GLYPHOR" ] || { echo "build glyphor first ($GLYPHOR)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
FONT="DejaVu Sans"
FONT_FILE=$(fc-match -f '%{file}' "$FONT")
python3 - "$work" <<'EOF'
import sys
work = sys.argv[1]
pieces = ["GLYPHOR ", "袋文字", "は", "Outline ", "テキスト", "輪郭線", "SVG "]
mixed = "".join(pieces * 20)[:200]
latin = "The quick brown fox jumps over the lazy dog. " * 500
for name, text in (("mixed200", mixed), ("latin2000", latin[:2000]), ("latin20000", latin[:20000])):
    open(f"{work}/{name}.txt", "w", encoding="utf-8").write(text)
EOF

# A settings file holds at most 2 047 bytes of text; longer texts go through
# --text-file where glyphor has it (the settings file then gives the font).
text_file_option=no
"$GLYPHOR" --help 2>&1 | grep -q -- '--text-file' && text_file_option=yes

# The command line of each program for a text.
glyphor_cmd() {  # $1 text name
  if [ "$(wc -c <"$work/$1.txt")" -le 2047 ]; then
    printf '[Font]\r\nFontName=%s\r\nFontSize=72\r\nFontText=%s\r\n[SVG]\r\nView=0\r\n' "$FONT" "$(cat "$work/$1.txt")" \
      >"$work/$1.gly"
    echo "$GLYPHOR $work/$1.gly"
  elif [ "$text_file_option" = yes ]; then
    printf '[Font]\r\nFontName=%s\r\nFontSize=72\r\n[SVG]\r\nView=0\r\n' "$FONT" >"$work/$1.gly"
    echo "$GLYPHOR --text-file=$work/$1.txt $work/$1.gly"
  fi
}
hbview_cmd() { echo "hb-view --output-format=svg --font-size=72 -o $work/$1.hb.svg $FONT_FILE --text-file=$work/$1.txt"; }
pango_cmd() { echo "pango-view -q --font=\"$FONT 72\" -o $work/$1.pango.svg $work/$1.txt"; }

now_ns() { date +%s%N; }
ratio() { python3 -c "import sys; a, b = float(sys.argv[1]), float(sys.argv[2]); print(f'{a / b:.2f}' if b else '-')" "$1" "$2"; }

for text in mixed200 latin2000 latin20000; do
  echo "== $text ($(wc -m <"$work/$text.txt") characters, $FONT)"
  g=$(glyphor_cmd "$text")
  h=$(hbview_cmd "$text")
  p=$(pango_cmd "$text")
  # Warm-up runs: file caches, and glyphor's face cache (twice: a run with a
  # new text may leave it to the next run to come out warm).
  if [ -n "$g" ] && ! { eval "$g" && eval "$g"; } >/dev/null 2>&1; then
    echo "   glyphor failed: $g"
    g=""
  fi
  [ -n "$g" ] || echo "   glyphor: skipped (the text needs --text-file; the core alone: build/bench/svg_bench)"
  for cmd in "$h" "$p"; do eval "$cmd" >/dev/null 2>&1 || { echo "failed: $cmd"; exit 1; }; done
  tg=0 th=0 tp=0
  i=0
  while [ $i -lt "$RUNS" ]; do
    if [ -n "$g" ]; then s=$(now_ns); eval "$g" >/dev/null 2>&1; e=$(now_ns); tg=$((tg + e - s)); fi
    s=$(now_ns); eval "$h" >/dev/null 2>&1; e=$(now_ns); th=$((th + e - s))
    s=$(now_ns); eval "$p" >/dev/null 2>&1; e=$(now_ns); tp=$((tp + e - s))
    i=$((i + 1))
  done
  tg=$((tg / RUNS / 1000)) th=$((th / RUNS / 1000)) tp=$((tp / RUNS / 1000))
  if [ -n "$g" ]; then
    echo "   wall (mean of $RUNS, interleaved): glyphor ${tg} us, hb-view ${th} us, pango-view ${tp} us;" \
      "glyphor/hb-view $(ratio $tg $th), glyphor/pango-view $(ratio $tg $tp)"
  else
    echo "   wall (mean of $RUNS, interleaved): hb-view ${th} us, pango-view ${tp} us"
  fi

  if [ -x /usr/bin/time ]; then
    peak() { eval "/usr/bin/time -f %M $1" 2>&1 >/dev/null | tail -n 1; }
    mh=$(peak "$h") mp=$(peak "$p")
    if [ -n "$g" ]; then
      mg=$(peak "$g")
      echo "   peak memory: glyphor ${mg} KiB, hb-view ${mh} KiB, pango-view ${mp} KiB; glyphor - hb-view $(((mg - mh) / 1024)) MiB"
    else
      echo "   peak memory: hb-view ${mh} KiB, pango-view ${mp} KiB"
    fi
  fi

  # Instruction counts do not depend on what else the machine is doing.
  if command -v valgrind >/dev/null; then
    count() { eval "valgrind --tool=callgrind --callgrind-out-file=/dev/null $1" 2>&1 >/dev/null | sed -n 's/.*refs: *//p' | tr -d ,; }
    ih=$(count "$h") ip=$(count "$p")
    if [ -n "$g" ]; then
      ig=$(count "$g")
      echo "   instructions: glyphor $ig, hb-view $ih, pango-view $ip;" \
        "glyphor/hb-view $(ratio "$ig" "$ih"), glyphor/pango-view $(ratio "$ig" "$ip")"
    else
      echo "   instructions: hb-view $ih, pango-view $ip"
    fi
  fi
done
