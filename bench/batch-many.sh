#!/bin/sh
# SPDX-License-Identifier: MIT
# Start-up cost for scripts: 100 short settings files converted by one
# invocation against 100 invocations of one file each, timed with hyperfine.
# One invocation should take well under a quarter of the time.
# Run on a real file system (the outputs are synced), not on a tmpfs:
#   WORK=/var/tmp bench/batch-many.sh
# Needs: build/glyphor, hyperfine.
set -eu
cd "$(dirname "$0")/.."
GLYPHOR=$(realpath "${GLYPHOR:-build/glyphor}")
COUNT=${COUNT:-100}
RUNS=${RUNS:-10}
command -v hyperfine >/dev/null || { echo "skipped: hyperfine is not installed"; exit 0; }
[ -x "$GLYPHOR" ] || { echo "build glyphor first ($GLYPHOR)"; exit 1; }

work=$(mktemp -d "${WORK:-$PWD/build}/batch-many-XXXXXX")
trap 'rm -rf "$work"' EXIT
echo "file system of $work: $(df -T "$work" | awk 'NR == 2 { print $2 }')"
i=0
while [ $i -lt "$COUNT" ]; do
  printf '[Font]\r\nFontName=DejaVu Sans\r\nFontSize=72\r\nFontText=Label %d\r\n[SVG]\r\nView=0\r\n' $i > "$work/label$i.gly"
  i=$((i + 1))
done
printf 'for f in %s/*.gly; do %s "$f" || exit 1; done\n' "$work" "$GLYPHOR" > "$work/separate.sh"

hyperfine --warmup 1 --runs "$RUNS" --export-json "$work/times.json" \
  -n "one invocation" "$GLYPHOR -q $work/*.gly" \
  -n "$COUNT invocations" "sh $work/separate.sh"
python3 - "$work/times.json" <<'EOF'
import json, sys
one, many = (r["mean"] for r in json.load(open(sys.argv[1]))["results"])
print(f"one invocation / separate invocations = {one / many:.3f} (must be below 0.25)")
EOF
