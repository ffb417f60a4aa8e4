#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package and the install: cpack builds quorbly_<version>_<arch>.deb
# whose Depends cover what dpkg-shlibdeps finds in the binary, holding the
# launcher, program, menu entry, icons, a clean manual page and exactly the
# data; the launcher from `cmake --install` and from the unpacked package
# starts the game from any directory through the PATH, and Escape gives 0.
. "$(dirname "$0")/lib.sh"
SOURCE_DIR="$(cd "$(dirname "$0")/../.." && pwd)"
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD_DIR/CPackConfig.cmake")
cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$WORK/pkg" >"$WORK/cpack.txt" 2>&1 || fail "cpack: $(tail "$WORK/cpack.txt")"
deb="$WORK/pkg/quorbly_${version}_$(dpkg --print-architecture).deb"
[ -n "$version" ] && [ -f "$deb" ] || fail "no $deb"
for f in Package:quorbly Version:"$version" Section:games; do
  [ "$(dpkg-deb -f "$deb" "${f%%:*}")" = "${f#*:}" ] || fail "control field ${f%%:*}"
done
depends=$(dpkg-deb -f "$deb" Depends)
dpkg-deb -x "$deb" "$WORK/root"
mkdir -p "$WORK/shlibs/debian"
printf 'Source: quorbly\n\nPackage: quorbly\nArchitecture: any\n' >"$WORK/shlibs/debian/control"
# The system's libraries, not those a player's LD_LIBRARY_PATH puts first.
needed=$(cd "$WORK/shlibs" && env -u LD_LIBRARY_PATH dpkg-shlibdeps -O "$WORK/root/usr/lib/games/quorbly/quorbly" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p' | tr ',' '\n' | sed 's/^ *//; s/ (.*//; s/ .*//')
[ -n "$needed" ] || fail "dpkg-shlibdeps found nothing"
for name in $needed; do
  echo "$depends" | tr ',|' '\n\n' | grep -q "^ *$name\( \|$\)" || fail "Depends lacks $name: $depends"
done
# SDL 1.2 is classic SDL or sdl12-compat's shim, which provides
# libsdl1.2debian at a version of its own.
sdl=$(echo "$depends" | tr ',' '\n' | grep 'libsdl1\.2debian')
classic=$(apt-cache show libsdl1.2debian | sed -n 's/^Version: //p' | head -1)
shim=$(apt-cache show libsdl1.2-compat-shim | sed -n 's/^Provides: .*libsdl1\.2debian (= \([^)]*\)).*/\1/p' | head -1)
[ -n "$classic" ] && [ -n "$shim" ] || fail "apt knows no libsdl1.2debian or libsdl1.2-compat-shim"
met_by() {
  local name op version
  while read -r name op version; do
    [ "$name" = libsdl1.2debian ] && { [ -z "$op" ] || dpkg --compare-versions "$1" "$op" "$version"; } && return 0
  done < <(echo "$sdl" | tr '|' '\n' | tr -d '()')
  return 1
}
met_by "$classic" && met_by "$shim" || fail "'$sdl' is not met by libsdl1.2debian $classic and the shim's $shim"

# The files: everything the game reads, byte for byte, and nothing else.
root="$WORK/root/usr"
for f in games/quorbly lib/games/quorbly/quorbly; do [ -x "$root/$f" ] || fail "no program $f"; done
[ -f "$root/share/applications/quorbly.desktop" ] || fail "no desktop entry"
for size in 64 128 256; do
  cmp -s "$SOURCE_DIR/packaging/icons/quorbly-$size.png" \
    "$root/share/icons/hicolor/${size}x${size}/apps/quorbly.png" || fail "icon $size"
done
(cd "$DATA_DIR" && ls terrains ./*.vert ./*.frag models/*.obj sound/*.ogg) | sed 's|^\./||' | sort >"$WORK/data.txt"
(cd "$root/share/games/quorbly" && find . -type f | sed 's|^\./||' | sort) | diff "$WORK/data.txt" - || fail "data files"
while read -r f; do cmp -s "$DATA_DIR/$f" "$root/share/games/quorbly/$f" || fail "$f differs"; done <"$WORK/data.txt"
zcat "$root/share/man/man6/quorbly.6.gz" | groff -man -Tutf8 -ww -z 2>&1 | grep . && fail "groff warns"

# Menu entry, AppStream metadata, copyright file, changelog, and lintian.
desktop-file-validate "$root/share/applications/quorbly.desktop" >"$WORK/desktop.txt" 2>&1 &&
  [ ! -s "$WORK/desktop.txt" ] || fail "desktop entry: $(cat "$WORK/desktop.txt")"
meta="$root/share/metainfo/example.c_seed_043ad2ac.Quorbly.metainfo.xml"
appstreamcli validate --no-net "$meta" >"$WORK/meta.txt" 2>&1 || fail "metainfo: $(cat "$WORK/meta.txt")"
grep -qF "<release version=\"$version\"" "$meta" || fail "metainfo lacks the release $version"
doc="$root/share/doc/quorbly"
head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
  grep -qx 'License: GPL-3+' "$doc/copyright" || fail "copyright file is not machine-readable GPL-3+"
[ "$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ] || fail "changelog is not at $version"
lintian --fail-on error "$deb" >"$WORK/lintian.txt" 2>&1 || fail "lintian: $(cat "$WORK/lintian.txt")"
grep -q -- '--data' "$root/games/quorbly" || fail "the launcher does not pass --data"

# The real game, by name through the PATH, from another directory.
play() {
  start_game "$1" quorbly
  win=$(find_window) || fail "no window ($1)"
  wait_for_output "Loading Map: " || fail "no map ($1)"
  focus_window "$win"
  xdotool key Escape
  wait_exit 20
  [ "$STATUS" = "0" ] || fail "Escape gave status $STATUS ($1)"
}
cmake --install "$BUILD_DIR" --prefix "$WORK/prefix" >"$WORK/install.txt" 2>&1 || fail "cmake --install"
PATH="$WORK/prefix/games:$PATH" play /
mkdir -p "$WORK/bin"
ln -s "$root/games/quorbly" "$WORK/bin/quorbly"
PATH="$WORK/bin:$PATH" play "$WORK"
echo "PASS: $(basename "$deb")"
