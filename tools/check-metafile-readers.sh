#!/bin/sh
# Compares what other readers make of the program's metafiles with the
# program's own SVG of the same text: LibreOffice for the EMF and the WMF,
# libwmf (through ImageMagick) for the WMF. Each rendering's inked area must
# have the picture's real size at 96 dpi and the same shape as the SVG's.
# Skipped when the readers are not installed; not part of CI.
#
#   tools/check-metafile-readers.sh [build folder]     (default: build)
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}

missing=""
command -v libreoffice >/dev/null 2>&1 || missing="$missing libreoffice (libreoffice-draw)"
command -v convert >/dev/null 2>&1 || missing="$missing convert (imagemagick)"
command -v compare >/dev/null 2>&1 || missing="$missing compare (imagemagick)"
command -v wmf2svg >/dev/null 2>&1 || missing="$missing wmf2svg (libwmf-bin; it also needs gsfonts)"
if [ -n "$missing" ]; then
  echo "check-metafile-readers: skipped, not installed:$missing"
  exit 0
fi

OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT

cmake --build "$BUILD" --target metafile_sample >/dev/null
SAMPLE="$BUILD/tools/metafile_sample"

# Ink as black on white, trimmed to the ink; prints "width height".
ink() {
  convert "$1" -background white -flatten -colorspace gray -threshold 95% -negate -trim +repage \
    -negate "$2"
  convert "$2" -format "%w %h" info:
}

status=0
check() {  # name text two-layer join
  name=$1
  mkdir -p "$OUT/$name"
  d="$OUT/$name"
  frame=$("$SAMPLE" "$d" "$2" "DejaVu Sans" "$3" "$4")
  set -- $frame
  echo "$name: frame $1 x $2 (0.01 mm) = $(( $1 * 96 / 2540 )) x $(( $2 * 96 / 2540 )) px at 96 dpi"

  cp "$d/sample.wmf" "$d/lo-wmf.wmf"
  (cd "$d" && libreoffice --headless --convert-to png sample.emf lo-wmf.wmf >/dev/null 2>&1)
  mv "$d/sample.png" "$d/lo-emf.png"
  wmf2svg -o "$d/libwmf.svg" "$d/sample.wmf"
  convert -density 96 "$d/libwmf.svg" "$d/libwmf.png"
  convert -density 96 "$d/sample.svg" "$d/ours.png"

  ref=$(ink "$d/ours.png" "$d/ours-ink.png")
  echo "  ours (SVG):      ink $ref; page $(convert "$d/ours.png" -format '%w x %h' info:)"
  for r in lo-emf lo-wmf libwmf; do
    if [ ! -s "$d/$r.png" ]; then
      echo "  $r: no rendering"
      status=1
      continue
    fi
    got=$(ink "$d/$r.png" "$d/$r-ink.png")
    page=$(convert "$d/$r.png" -format '%w x %h' info:)
    # Same size within 4 pixels (pens and rounding), then the share of pixels
    # that differ once both are brought to the same size.
    set -- $ref $got
    dw=$(( $1 - $3 )); dh=$(( $2 - $4 ))
    convert "$d/$r-ink.png" -resize "$1x$2!" -threshold 50% "$d/$r-same.png"
    diff=$(compare -metric AE "$d/ours-ink.png" "$d/$r-same.png" null: 2>&1 || true)
    share=$(( ${diff%%.*} * 1000 / ($1 * $2) ))
    verdict=ok
    if [ ${dw#-} -gt 4 ] || [ ${dh#-} -gt 4 ] || [ "$share" -gt 80 ]; then verdict=DIFFERENT; status=1; fi
    echo "  $r: ink $got; page $page; differing pixels ${share} per mille: $verdict"
  done
}

check miter "Rg" 0 0
check round-two-layer "Sw" 1 1
check bevel "Ag" 0 2
exit $status
