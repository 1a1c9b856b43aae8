#!/bin/sh
# SPDX-License-Identifier: MIT
# The manual page formats without a warning, and the bash completion
# completes options, their values, --set keys and .gly files.
set -eu
SRC=$1
fail() { echo "FAIL: $*"; exit 1; }

if command -v man >/dev/null; then
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$SRC/data/glyphor.1" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings: $warnings"
else
  echo "skipped: man is not installed"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/labels" && touch "$work/logo.gly" "$work/LOGO2.GLY" "$work/notes.txt"
cd "$work"
complete_words() {
  bash -c '. "$0"; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _glyphor; for w in "${COMPREPLY[@]}"; do echo "$w"; done | LC_ALL=C sort | tr "\n" " "' \
    "$SRC/data/glyphor.bash" "$@"
}
check() {
  expected=$1
  shift
  got=$(complete_words "$@")
  [ "$got" = "$expected" ] || fail "completing '$*': got '$got', expected '$expected'"
}
check "--font --format " glyphor --fo
check "emf " glyphor --format = e
check "svg " glyphor -f s
check "bold,italic " glyphor --style bold,it
check "Font.FontStrokeColor= Font.FontStrokeWidth= " glyphor --set Font.FontStr
check "LOGO2.GLY labels logo.gly " glyphor -q ""
check "" glyphor --text ""
echo "docs test: 1 passed, 0 failed"
