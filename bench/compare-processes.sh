#!/bin/sh
# SPDX-License-Identifier: MIT
# Whole processes side by side: glyphor converting a text to SVG against
# hb-view and pango-view writing SVG for the same text and font. Three texts:
# 200 characters of Latin and Japanese mixed in DejaVu Sans (the Japanese ones
# from a fallback face; glyphor's face cache warm), 2 000 and 20 000 Latin
# characters. The programs take turns run by run (glyphor, hb-view,
# pango-view, glyphor, ...), so that the machine's drift falls on all alike.
# glyphor's two-layer run ("袋文字") takes its turn too, measured against its
# one-layer run. Prints mean wall and CPU times (the CPU time leaves out
# waiting for the disk: glyphor syncs its file before it replaces the old
# one, the others do not), peak memory and, with valgrind, instruction
# counts, which the machine's load does not disturb; ratios are glyphor's to
# the others'. hb-view is given the font file and draws boxes for the characters
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
# A cache folder of its own: other runs of glyphor on the machine (another
# build, a test suite) then leave its face cache as warm as this script made it.
export XDG_CACHE_HOME="$work/cache"
mkdir "$XDG_CACHE_HOME"
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

# Every program reads the text from its file; glyphor's settings are its
# options (the defaults otherwise: one layer, a 0.5 mm outline). Its
# two-layer run is timed beside it.
glyphor_cmd() {  # $1 text name, $2 more options
  echo "$GLYPHOR -q --font=\"$FONT\" --size=72 ${2:-} --text-file=$work/$1.txt -o $work/$1${2:-}.svg"
}
hbview_cmd() { echo "hb-view --output-format=svg --font-size=72 -o $work/$1.hb.svg $FONT_FILE --text-file=$work/$1.txt"; }
pango_cmd() { echo "pango-view -q --font=\"$FONT 72\" -o $work/$1.pango.svg $work/$1.txt"; }

ratio() { python3 -c "import sys; a, b = float(sys.argv[1]), float(sys.argv[2]); print(f'{a / b:.2f}' if b else '-')" "$1" "$2"; }

for text in mixed200 latin2000 latin20000; do
  echo "== $text ($(wc -m <"$work/$text.txt") characters, $FONT)"
  g=$(glyphor_cmd "$text")
  g2=$(glyphor_cmd "$text" --two-layer)
  h=$(hbview_cmd "$text")
  p=$(pango_cmd "$text")
  # Warm-up runs: file caches, and glyphor's face cache.
  for cmd in "$g" "$g2" "$h" "$p"; do eval "$cmd" >/dev/null 2>&1 || { echo "failed: $cmd"; exit 1; }; done
  eval "$g" >/dev/null 2>&1
  # Run by run in turn; wall time and the CPU time (user and system) the
  # process itself used, which waiting for the disk does not count.
  python3 - "$RUNS" "$g" "$h" "$p" "$g2" <<'EOF'
import os, shlex, sys, time
runs, cmds = int(sys.argv[1]), sys.argv[2:]
names = ["glyphor", "hb-view", "pango-view", "glyphor two-layer"]
wall, cpu = [0.0] * len(cmds), [0.0] * len(cmds)
null = os.open(os.devnull, os.O_RDWR)
quiet = [(os.POSIX_SPAWN_DUP2, null, 1), (os.POSIX_SPAWN_DUP2, null, 2)]
for _ in range(runs):
    for i, cmd in enumerate(cmds):
        args = shlex.split(cmd)
        start = time.perf_counter()
        pid = os.posix_spawnp(args[0], args, os.environ, file_actions=quiet)
        _, status, usage = os.wait4(pid, 0)
        wall[i] += time.perf_counter() - start
        cpu[i] += usage.ru_utime + usage.ru_stime
        if status != 0:
            sys.exit(f"failed: {cmd}")
us = lambda t: f"{t / runs * 1e6:.0f} us"
for label, t in (("wall", wall), ("cpu", cpu)):
    print(f"   {label} (mean of {runs}, interleaved): " + ", ".join(f"{n} {us(x)}" for n, x in zip(names, t)) +
          f"; glyphor/hb-view {t[0] / t[1]:.2f}, glyphor/pango-view {t[0] / t[2]:.2f}, two-layer/one {t[3] / t[0]:.2f}")
EOF

  if [ -x /usr/bin/time ]; then
    peak() { eval "/usr/bin/time -f %M $1" 2>&1 >/dev/null | tail -n 1; }
    mg=$(peak "$g") mg2=$(peak "$g2") mh=$(peak "$h") mp=$(peak "$p")
    echo "   peak memory: glyphor ${mg} KiB, hb-view ${mh} KiB, pango-view ${mp} KiB, glyphor two-layer ${mg2} KiB;" \
      "glyphor - hb-view $(((mg - mh) / 1024)) MiB"
  fi

  # Instruction counts do not depend on what else the machine is doing.
  if command -v valgrind >/dev/null; then
    count() { eval "valgrind --tool=callgrind --callgrind-out-file=/dev/null $1" 2>&1 >/dev/null | sed -n 's/.*refs: *//p' | tr -d ,; }
    ig=$(count "$g") ig2=$(count "$g2") ih=$(count "$h") ip=$(count "$p")
    echo "   instructions: glyphor $ig, hb-view $ih, pango-view $ip, glyphor two-layer $ig2;" \
      "glyphor/hb-view $(ratio "$ig" "$ih"), glyphor/pango-view $(ratio "$ig" "$ip"), two-layer/one $(ratio "$ig2" "$ig")"
  fi
done
