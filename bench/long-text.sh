#!/bin/sh
# A 20 000-character text through --text-file, against hb-view drawing the
# same text in the same font file as SVG. Prints hyperfine's means and the
# ratio glyphor / hb-view, for the document on standard output (the work
# alone) and written to a file (synced to disk, as glyphor always does).
# Needs: build/glyphor, hb-view (libharfbuzz-bin), hyperfine, fc-match.
set -eu
cd "$(dirname "$0")/.."
GLYPHOR=$(realpath "${GLYPHOR:-build/glyphor}")
RUNS=${RUNS:-10}
for tool in hb-view hyperfine fc-match python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 0; }
done
[ -x "$GLYPHOR" ] || { echo "build glyphor first ($GLYPHOR)"; exit 1; }

work=$(mktemp -d "${WORK:-$PWD/build}/long-text-XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 -c 'p=["GLYPHOR ","袋文字","は","Outline ","テキスト","輪郭線","SVG "];print("".join(p*2000)[:20000])' > "$work/text.txt"
FONT_FILE=$(fc-match -f '%{file}' IPAPGothic)
echo "characters: $(python3 -c "import sys; print(len(open(sys.argv[1]).read().rstrip()))" "$work/text.txt"), font: $FONT_FILE"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$work/times.json" \
  -n "glyphor, standard output" "$GLYPHOR -q --font IPAPGothic --size 72 --text-file $work/text.txt -o - > /dev/null" \
  -n "glyphor, file" "$GLYPHOR -q --font IPAPGothic --size 72 --text-file $work/text.txt -o $work/g.svg" \
  -n "hb-view, standard output" "hb-view --font-file=$FONT_FILE --font-size=72 --output-format=svg --text-file=$work/text.txt -o - > /dev/null" \
  -n "hb-view, file" "hb-view --font-file=$FONT_FILE --font-size=72 --output-format=svg --text-file=$work/text.txt -o $work/h.svg"
python3 - "$work/times.json" <<'PY'
import json, sys
g, gf, h, hf = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print(f"glyphor / hb-view: {g / h:.2f} on standard output, {gf / hf:.2f} to a file")
PY
ls -l "$work/g.svg" "$work/h.svg" | awk '{ print $5, $NF }'
