#!/bin/sh
# SPDX-License-Identifier: MIT
# Compares what other readers make of the program's metafiles with the
# program's own SVG of the same text, in colour, at 6, 12 and 72 pt with pens
# of 0, 0.5 and 3 mm: LibreOffice for the EMF; LibreOffice, libwmf (wmf2svg,
# wmf2gd), Inkscape and ImageMagick for the WMF. Every reader must produce a
# picture of the real size, and every pixel of the stroke, the fill and the
# background must lie near a pixel of the same colour in the SVG's rendering,
# and the other way round: fill showing through an unstroked edge counts.
# Exits 1 on any difference or missing output. Skipped when the readers are not
# installed; not part of CI.
#
#   tools/check-metafile-readers.sh [build folder]     (default: build)
#
# KEEP_RENDERINGS=1 keeps the renderings and colour masks in a temporary folder.
# Numbers are split into words with set -- $(...) on purpose.
# shellcheck disable=SC2046,SC2086
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}

# Renderings at DPI dots per inch. A pixel may lie up to NEAR_UM micrometres
# from its colour in the SVG's rendering (curves are flattened to chords up to
# 100 um off, and edge pixels take either colour); at most LIMIT pixels per
# 10000 of the SVG's ink may lie farther. The extent of the ink may differ by
# twice NEAR_UM.
DPI=600
NEAR_UM=150
LIMIT=10

missing=""
need() {  # command package
  command -v "$1" >/dev/null 2>&1 || missing="$missing $1 ($2)"
}
need soffice libreoffice-draw
need inkscape inkscape
need wmf2svg libwmf-bin
need wmf2gd libwmf-bin
need convert imagemagick
need rsvg-convert librsvg2-bin
need pdftoppm poppler-utils
if [ -z "$missing" ] && ! convert -list format 2>/dev/null | grep -q '^ *WMF'; then
  missing=" convert's WMF reader (libmagickcore-6.q16-6-extra)"
fi
if [ -n "$missing" ]; then
  echo "check-metafile-readers: SKIPPED, not installed:$missing"
  exit 0
fi

OUT=$(mktemp -d)
if [ -n "${KEEP_RENDERINGS:-}" ]; then
  echo "renderings kept in $OUT"
else
  trap 'rm -rf "$OUT"' EXIT
fi

[ -f "$BUILD/CMakeCache.txt" ] || cmake -S . -B "$BUILD" >/dev/null
cmake --build "$BUILD" --target metafile_sample >/dev/null
SAMPLE=$(find "$BUILD" -name metafile_sample -type f -perm -u+x | head -n 1)
if [ -z "$SAMPLE" ]; then
  echo "check-metafile-readers: no metafile_sample built in $BUILD"
  exit 1
fi

NEAR=$(( (NEAR_UM * DPI + 12700) / 25400 ))  # pixels
convert xc:white xc:'#00C000' xc:'#FF0000' +append "$OUT/palette.png"

# Each pixel to the nearest of background, fill and stroke colour, then one
# mask a colour: red for the stroke, green for the fill, blue for the background.
masks() {  # image -> masks
  convert "$1" -background white -alpha remove -alpha off +dither -remap "$OUT/palette.png" "$2.colours.png"
  convert "$2.colours.png" \
    \( -clone 0 -fill black +opaque '#FF0000' -fill white -opaque '#FF0000' -colorspace gray \) \
    \( -clone 0 -fill black +opaque '#00C000' -fill white -opaque '#00C000' -colorspace gray \) \
    \( -clone 0 -fill black +opaque white -colorspace gray \) \
    -delete 0 -combine "$2"
}

# Pixels of the first masks farther than NEAR from their colour in the second,
# over the channels named (RGB: every colour, G: the fill only).
far() {  # masks masks channels
  convert "$2" -morphology Dilate "Disk:$NEAR" "$OUT/dilated.png"
  convert "$1" "$OUT/dilated.png" -compose MinusSrc -composite -channel "$3" -separate +channel \
    -evaluate-sequence Add -format '%[fx:round(mean*w*h)]' info:
}

# Extent of what is not background, in micrometres at DPI; 0 0 when blank.
ink_um() {  # image
  convert "$1" -background white -alpha remove -alpha off -fuzz 10% -trim \
    -format "%[fx:round(w*25400/$DPI)] %[fx:round(h*25400/$DPI)] %[fx:mean]" info: |
    awk '{ if ($3 >= 0.9999) print 0, 0; else print $1, $2 }'
}

status=0
compared=0
fail() {
  status=1
  echo "  $1"
}

check() {  # size pen text two-layer join
  pt=$1 pen=$2 join=$5
  name="${pt}pt-pen$(( pen * 10 ))um-$3-$(echo "miter round bevel" | cut -d' ' -f$(( join + 1 )))"
  [ "$4" = 1 ] && name="$name-two-layer"
  d="$OUT/$name"
  mkdir -p "$d"
  if ! frame=$("$SAMPLE" "$d" "$3" "DejaVu Sans" "$4" "$5" "$pt" "$pen"); then
    echo "$name"
    fail "metafile_sample failed"
    return
  fi
  set -- $frame
  fw=$(( $1 * 10 )) fh=$(( $2 * 10 ))
  # The placeable header's bounding box, in 1/96 inch.
  set -- $(od -An -tu2 -j10 -N4 "$d/sample.wmf")
  bw=$1 bh=$2
  echo "$name: frame $fw x $fh um, WMF bounding box $bw x $bh"

  # The readers; a failing one shows as missing output below.
  rsvg-convert -d $DPI -p $DPI -b white "$d/sample.svg" -o "$d/svg.png" || true
  cp "$d/sample.emf" "$d/lo-emf.emf"
  cp "$d/sample.wmf" "$d/lo-wmf.wmf"
  # LibreOffice's PNG export draws on a 96-dpi page: through PDF instead.
  (cd "$d" && soffice "-env:UserInstallation=file://$OUT/libreoffice" --headless \
    --convert-to pdf lo-emf.emf lo-wmf.wmf >/dev/null 2>&1) || true
  for r in lo-emf lo-wmf; do
    if [ -s "$d/$r.pdf" ]; then pdftoppm -r $DPI -singlefile -png "$d/$r.pdf" "$d/$r" || true; fi
  done
  # wmf2svg writes one SVG pixel a placeable unit (1/96 inch).
  wmf2svg -o "$d/wmf2svg.svg" "$d/sample.wmf" >/dev/null 2>&1 || true
  if [ -s "$d/wmf2svg.svg" ]; then
    rsvg-convert -z "$(awk "BEGIN { print $DPI / 96 }")" -b white "$d/wmf2svg.svg" -o "$d/wmf2svg.png" || true
  fi
  # wmf2gd draws at 72 dpi: the page is measured there, the shape scaled up
  # (the bounding box to the page).
  wmf2gd -o "$d/wmf2gd-72dpi.png" "$d/sample.wmf" >/dev/null 2>&1 || true
  wmf2gd --maxwidth=$(( bw * DPI / 96 )) --maxheight=$(( bh * DPI / 96 )) --maxpect \
    -o "$d/wmf2gd.png" "$d/sample.wmf" >/dev/null 2>&1 || true
  inkscape --export-type=png --export-dpi=$DPI --export-filename="$d/inkscape.png" "$d/sample.wmf" \
    >/dev/null 2>&1 || true
  convert -density $DPI "$d/sample.wmf" "$d/imagemagick.png" >/dev/null 2>&1 || true

  set -- $(ink_um "$d/svg.png")
  rw=$1 rh=$2
  if [ "$rw" -eq 0 ]; then
    fail "our SVG: no rendering"
    return
  fi
  echo "  our SVG (rsvg-convert): ink $rw x $rh um"

  for r in lo-emf lo-wmf wmf2svg wmf2gd inkscape imagemagick; do
    if [ ! -s "$d/$r.png" ]; then
      fail "$r: no output"
      continue
    fi
    set -- $(ink_um "$d/$r.png")
    iw=$1 ih=$2
    if [ "$iw" -eq 0 ]; then
      fail "$r: blank picture"
      continue
    fi
    # Both renderings on one canvas, the centres of their ink together.
    cw=$(( ((iw > rw ? iw : rw) * DPI + 25399) / 25400 + 4 * NEAR + 8 ))
    ch=$(( ((ih > rh ? ih : rh) * DPI + 25399) / 25400 + 4 * NEAR + 8 ))
    for x in svg "$r"; do
      convert "$d/$x.png" -background white -alpha remove -alpha off -fuzz 10% -trim +repage \
        -gravity center -extent "${cw}x${ch}" "$d/$x-aligned.png"
      masks "$d/$x-aligned.png" "$d/$x-masks.png"
    done
    ink=$(convert "$d/svg-masks.png" -channel B -separate -negate -format '%[fx:round(mean*w*h)]' info:)
    # A pen of width 0 draws a line one device pixel wide (one logical unit
    # in wmf2svg and Inkscape), not nothing: lines two pixels wide are not
    # counted then.
    [ "$pen" -eq 0 ] &&
      convert "$d/$r-masks.png" -channel R -morphology Erode Disk:1 +channel "$d/$r-masks.png"
    # What a reader cannot draw is not held against it. wmf2gd draws wide
    # lines without joins, squaring every corner over fill and background:
    # only fill where the SVG has none counts. ImageMagick draws every join
    # round, covering fill at bevel and miter joins: there only colours the
    # SVG has nowhere near count.
    channels=RGB both=yes
    case $r in
      wmf2gd) channels=G both=no ;;
      imagemagick) [ "$join" -eq 1 ] || both=no ;;
    esac
    extra=$(far "$d/$r-masks.png" "$d/svg-masks.png" $channels)  # colours the SVG has nowhere near
    lost=0
    [ $both = yes ] && lost=$(far "$d/svg-masks.png" "$d/$r-masks.png" RGB)  # the SVG's colours missing
    share=$(( (extra + lost) * 10000 / ink ))
    verdict=ok
    dw=$(( iw - rw )) dh=$(( ih - rh ))
    if [ ${dw#-} -gt $(( 2 * NEAR_UM )) ] || [ ${dh#-} -gt $(( 2 * NEAR_UM )) ] || [ $share -gt $LIMIT ]; then
      verdict=DIFFERENT
    fi
    page=""
    case $r in
      wmf2svg|wmf2gd|inkscape|imagemagick)
        # A page of the picture's own size, within the placeable header's
        # rounding and one unit or pixel of the reader's.
        if [ $r = wmf2gd ]; then p="$d/wmf2gd-72dpi.png" k=72; else p="$d/$r.png" k=$DPI; fi
        set -- $(convert "$p" -format '%w %h' info:)
        pw=$(( $1 * 25400 / k )) ph=$(( $2 * 25400 / k ))
        slack=$(( 25400 / 192 + (25400 / 96 > 25400 / k ? 25400 / 96 : 25400 / k) ))
        page="; page $pw x $ph um"
        if [ $(( pw - fw )) -gt $slack ] || [ $(( fw - pw )) -gt $slack ] ||
           [ $(( ph - fh )) -gt $slack ] || [ $(( fh - ph )) -gt $slack ]; then
          verdict=DIFFERENT
        fi
        ;;
    esac
    if [ $channels = G ]; then
      found="$extra fill pixels drawn (missing ones not compared)"
    elif [ $both = no ]; then
      found="$extra pixels drawn (missing ones not compared)"
    else
      found="$extra pixels drawn and $lost missing"
    fi
    [ $verdict = ok ] || status=1
    compared=$(( compared + 1 ))
    echo "  $r: ink $iw x $ih um$page; $found beyond $NEAR_UM um of their colour," \
      "$share per 10000 of the ink: $verdict"
  done
}

# 3 mm pens with round joins only: a WMF has no miter limit, so each reader
# applies its own, and SVG renderers leave holes in 3 mm bevel joins on small
# text.
#     pt  pen (0.01 mm)  text  two-layer  join (0 miter, 1 round, 2 bevel)
check  6    0            Rg    0          0
check  6   50            Sw    1          1
check  6  300            Ag    0          1
check 12    0            Sw    0          1
check 12   50            Ag    0          2
check 12  300            Rg    1          1
check 72    0            Ag    0          2
check 72   50            Rg    0          0
check 72  300            Sw    1          1
[ $compared -gt 0 ] || fail "nothing compared"
if [ $status -eq 0 ]; then echo "check-metafile-readers: PASS"; else echo "check-metafile-readers: FAIL"; fi
exit $status
