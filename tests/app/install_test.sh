#!/bin/sh
# SPDX-License-Identifier: MIT
# Installs the build into a temporary prefix (as a packager would, with
# DESTDIR) and checks the installed tree: desktop entry, file type, icon,
# manual page, and the installed program converting a .gly with its own
# font aliases.
set -eu
BUILD=$1
work=$(mktemp -d)
# Installing writes the build's install_manifest.txt, which the user's own
# uninstall reads: it is put back as it was.
manifest="$BUILD/install_manifest.txt"
if [ -f "$manifest" ]; then cp -p "$manifest" "$work/manifest"; fi
restore() {
  if [ -f "$work/manifest" ]; then cp -p "$work/manifest" "$manifest"; else rm -f "$manifest"; fi
  rm -rf "$work"
}
trap restore EXIT
fail() { echo "FAIL: $*"; exit 1; }

DESTDIR="$work/dest" cmake --install "$BUILD" --prefix /opt/glyphor >/dev/null
root="$work/dest/opt/glyphor"
for f in bin/glyphor share/glyphor/glyphor-fonts.conf share/applications/io.github.glyphor.Glyphor.desktop \
         share/icons/hicolor/scalable/apps/io.github.glyphor.Glyphor.svg share/mime/packages/io.github.glyphor.Glyphor.xml \
         share/man/man1/glyphor.1 share/metainfo/io.github.glyphor.Glyphor.metainfo.xml \
         share/doc/glyphor/README.md share/doc/glyphor/LICENSE share/doc/glyphor/sample.gly \
         share/bash-completion/completions/glyphor; do
  [ -f "$root/$f" ] || fail "$f is not installed"
done
ls "$root"/lib*/glyphor/libglyphor_cut.so >/dev/null 2>&1 || fail "the cut module is not installed"
if grep -q '^GLYPHOR_GUI:BOOL=ON' "$BUILD/CMakeCache.txt" && [ -f "$BUILD/libglyphor_window.so" ]; then
  ls "$root"/lib*/glyphor/libglyphor_window.so >/dev/null 2>&1 || fail "the window module is not installed"
fi

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/share/applications/io.github.glyphor.Glyphor.desktop" || fail "desktop entry"
else
  echo "skipped: desktop-file-validate is not installed"
fi
grep -q '^MimeType=application/x-glyphor-settings;' "$root/share/applications/io.github.glyphor.Glyphor.desktop" ||
  fail "the entry does not declare the .gly type"
# The entry names the installed program itself: bin/ need not be on PATH.
entry="$root/share/applications/io.github.glyphor.Glyphor.desktop"
grep -qx 'Exec=/opt/glyphor/bin/glyphor %f' "$entry" || fail "Exec does not name the installed program: $(grep ^Exec "$entry")"
grep -qx 'TryExec=/opt/glyphor/bin/glyphor' "$entry" || fail "no TryExec for the installed program"
grep -qx 'StartupWMClass=GLYPHOR' "$entry" || fail "StartupWMClass does not match the window's class"
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$root/share/metainfo/io.github.glyphor.Glyphor.metainfo.xml" >"$work/as.log" 2>&1 ||
    fail "metainfo: $(cat "$work/as.log")"
  grep -q '<mediatype>application/x-glyphor-settings</mediatype>' "$root/share/metainfo/io.github.glyphor.Glyphor.metainfo.xml" ||
    fail "the metainfo does not provide the .gly type"
else
  echo "skipped: appstreamcli is not installed"
fi
# GIO (file managers, docks) loads the entry of a tree installed under a path
# with a blank and offers it for .gly files.
if command -v gio >/dev/null && command -v update-desktop-database >/dev/null; then
  real="$work/my prefix"
  cmake --install "$BUILD" --prefix "$real" >/dev/null
  update-desktop-database "$real/share/applications"
  mkdir -p "$work/xdg"
  listed=$(env PATH=/usr/bin:/bin XDG_DATA_DIRS="$real/share" XDG_DATA_HOME="$work/xdg" XDG_CONFIG_HOME="$work/xdg" \
    XDG_CONFIG_DIRS="$work/xdg" gio mime application/x-glyphor-settings 2>&1) || true
  case $listed in
    *io.github.glyphor.Glyphor.desktop*) ;;
    *) fail "GIO does not offer the entry for .gly files: $listed" ;;
  esac
else
  echo "skipped: gio or update-desktop-database is not installed"
fi
if command -v update-mime-database >/dev/null; then
  mkdir -p "$work/mime/packages"
  cp "$root/share/mime/packages/io.github.glyphor.Glyphor.xml" "$work/mime/packages/"
  update-mime-database "$work/mime" 2>"$work/mime.err" || fail "update-mime-database: $(cat "$work/mime.err")"
  grep -q 'application/x-glyphor-settings:\*\.gly' "$work/mime/globs" || fail "*.gly is not in the globs"
elif command -v xmllint >/dev/null; then
  xmllint --noout "$root/share/mime/packages/io.github.glyphor.Glyphor.xml" || fail "MIME type XML"
fi

# The installed program converts a .gly; "MS PGothic" resolves through the
# installed aliases to the same outlines as IPAPGothic.
mkdir -p "$work/home"
for face in "MS PGothic" IPAPGothic; do
  printf '[Font]\r\nFontName=%s\r\nFontText=袋文字\r\n[SVG]\r\nView=0\r\n' "$face" > "$work/home/$face.gly"
  env -i PATH=/usr/bin:/bin HOME="$work/home" GLYPHOR_NO_FACE_CACHE=1 "$root/bin/glyphor" "$work/home/$face.gly" ||
    fail "the installed program failed on $face"
done
cmp -s "$work/home/MS PGothic.svg" "$work/home/IPAPGothic.svg" || fail "the aliases were not found"
# The installed example converts, through the option form, to standard output.
env -i PATH=/usr/bin:/bin HOME="$work/home" GLYPHOR_NO_FACE_CACHE=1 "$root/bin/glyphor" -q -o - \
  "$root/share/doc/glyphor/sample.gly" | tail -c 8 | grep -q '</svg>' || fail "the installed example did not convert"
# The installed program opens its cut module for cut-ready documents alone:
# the program itself needs neither Clipper nor, with its own C++ runtime,
# the shared one.
for format in svg dxf; do
  env -i PATH=/usr/bin:/bin HOME="$work/home" GLYPHOR_NO_FACE_CACHE=1 "$root/bin/glyphor" -q --cut-ready -f $format \
    -o "$work/home/cut.$format" "$root/share/doc/glyphor/sample.gly" || fail "the installed program made no cut-ready $format"
done
grep -q '<path id="fill"' "$work/home/cut.svg" || fail "the installed program's cut-ready SVG has no fill region"
tail -c 5 "$work/home/cut.dxf" | grep -q EOF || fail "the installed program's DXF is cut short"
if command -v readelf >/dev/null; then
  needed=$(readelf -d "$root/bin/glyphor" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  case $needed in *polyclipping*) fail "the program needs Clipper: $needed" ;; esac
  cache="$BUILD/CMakeCache.txt"
  if grep -q '^GLYPHOR_STATIC_LIBSTDCXX:BOOL=ON' "$cache" && ! grep -q '^GLYPHOR_FUZZERS:BOOL=ON' "$cache" &&
     ! grep -q '^CMAKE_CXX_FLAGS:.*-fsanitize' "$cache"; then
    case $needed in *libstdc++*) fail "the program needs the shared C++ runtime: $needed" ;; esac
  fi
else
  echo "skipped: readelf is not installed"
fi
# The installed program finds its window module beside it: open the window
# offscreen, let it show its pages and close (saving its settings in HOME).
if ls "$root"/lib*/glyphor/libglyphor_window.so >/dev/null 2>&1; then
  mkdir -p "$work/shots"
  env -i PATH=/usr/bin:/bin HOME="$work/home" QT_QPA_PLATFORM=offscreen GLYPHOR_SCREENSHOT_DIR="$work/shots" \
    GLYPHOR_NO_FACE_CACHE=1 timeout 60 "$root/bin/glyphor" >"$work/window.log" 2>&1 ||
    fail "the installed window did not run: $(cat "$work/window.log")"
  [ -f "$work/shots/page-3.png" ] || fail "the installed window showed no pages"
  # This tree is writable, so it keeps its settings beside the program, as a portable copy does.
  [ -f "$root/bin/glyphor.ini" ] || fail "the window did not save its settings at close"
fi
# The uninstall target removes every file this install put in place.
DESTDIR="$work/dest" cmake --install "$BUILD" --prefix /opt/glyphor >/dev/null
DESTDIR="$work/dest" cmake --build "$BUILD" --target uninstall >/dev/null || fail "the uninstall target failed"
while read -r f; do
  [ ! -e "$work/dest$f" ] || fail "uninstall left $f behind"
done < "$manifest"
echo "install test: 1 passed, 0 failed"
