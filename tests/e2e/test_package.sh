#!/usr/bin/env bash
# The Debian package and the install: cpack builds quorbly_<version>_<arch>.deb
# with the right control fields, dependencies and files; its manual page and
# desktop entry, AppStream metadata, copyright file and changelog are clean
# and lintian finds no error; `cmake --install` gives a launcher that starts the
# game from any directory, through the PATH and through a symbolic link, and
# the game quits with status 0 on Escape.
. "$(dirname "$0")/lib.sh"
SOURCE_DIR="$(cd "$(dirname "$0")/../.." && pwd)"
[ -n "${DISPLAY:-}" ] || fail "needs the test run's X server (DISPLAY is not set)"
for tool in cpack dpkg-deb dpkg-shlibdeps dpkg-parsechangelog groff gzip lintian appstreamcli desktop-file-validate; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/install-deps.sh installs it)"
done

# --- the package -----------------------------------------------------------
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$BUILD_DIR/CPackConfig.cmake")
arch=$(dpkg --print-architecture)
[ -n "$version" ] || fail "no package version in $BUILD_DIR/CPackConfig.cmake"
cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$WORK/pkg" >"$WORK/cpack.txt" 2>&1 ||
  { cat "$WORK/cpack.txt"; fail "cpack failed"; }
deb="$WORK/pkg/quorbly_${version}_${arch}.deb"
[ -f "$deb" ] || fail "no $(basename "$deb"); made: $(ls "$WORK/pkg")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = "quorbly" ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = "games" ] || fail "Section is '$(field Section)'"
field Maintainer | grep -qE '^[^<]+ <[^@ ]+@[^> ]+>$' || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Description | head -1 | wc -w)" -ge 3 ] || fail "no one-line description"
[ "$(field Description | wc -l)" -ge 3 ] || fail "no long description"

# Depends as one clause per line, "name (op version)" or "a | b".
field Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -v '^$' >"$WORK/depends.txt"
# The declared clause that names package $1, as one of its alternatives.
declared_clause() {
  awk -v name="$1" '{
    n = split($0, alts, / *[|] */)
    for (i = 1; i <= n; i++) { split(alts[i], words, " "); if (words[1] == name) { print; exit } }
  }' "$WORK/depends.txt"
}
for pkg in libsdl1.2debian libsdl-mixer1.2 libgl1 libglu1-mesa libglut3.12 libc6 libstdc++6; do
  [ -n "$(declared_clause "$pkg")" ] || fail "Depends lacks $pkg: $(field Depends)"
done
# What dpkg-shlibdeps finds in the packaged binary must all be declared, at
# least at the version it asks for.
dpkg-deb -x "$deb" "$WORK/root"
mkdir -p "$WORK/shlibs/debian"
printf 'Source: quorbly\n\nPackage: quorbly\nArchitecture: any\n' >"$WORK/shlibs/debian/control"
(cd "$WORK/shlibs" && dpkg-shlibdeps -O "$WORK/root/usr/lib/games/quorbly/quorbly" 2>/dev/null) |
  sed -n 's/^shlibs:Depends=//p' | tr ',' '\n' | sed 's/^ *//; s/ *$//' | grep -v '^$' >"$WORK/needed.txt"
[ -s "$WORK/needed.txt" ] || fail "dpkg-shlibdeps found no dependencies"
while read -r clause; do
  name=${clause%% *}
  declared=$(declared_clause "$name")
  [ -n "$declared" ] || fail "the binary needs '$clause' but Depends has no $name"
  need=$(echo "$clause" | sed -n 's/^[^ ]* (>= \([^)]*\)).*/\1/p')
  if [ -n "$need" ]; then
    have=$(echo "$declared" | sed -n 's/^[^ ]* (>= \([^)]*\)).*/\1/p')
    if [ -z "$have" ] || ! dpkg --compare-versions "$have" ge "$need"; then
      fail "the binary needs '$clause', Depends says '$declared'"
    fi
  fi
done <"$WORK/needed.txt"

# The files: everything the game reads, byte for byte, and nothing else
# under its data directory; the launcher, the program, menu entry, icons, man page.
dpkg-deb -c "$deb" | awk '{print $1, $6}' >"$WORK/contents.txt"
has() { grep -qxF -e "$1 ./$2" "$WORK/contents.txt" || fail "package lacks $2 ($1)"; }
exe=-rwxr-xr-x
reg=-rw-r--r--
has $exe usr/games/quorbly
has $exe usr/lib/games/quorbly/quorbly
has $reg usr/share/applications/quorbly.desktop
for size in 64 128 256; do
  has $reg "usr/share/icons/hicolor/${size}x${size}/apps/quorbly.png"
  cmp -s "$SOURCE_DIR/packaging/icons/quorbly-$size.png" \
    "$WORK/root/usr/share/icons/hicolor/${size}x${size}/apps/quorbly.png" || fail "icon $size differs"
done
has $reg usr/share/man/man6/quorbly.6.gz
(cd "$DATA_DIR" && ls terrains ./*.vert ./*.frag models/*.obj sound/*.ogg) | sed 's|^\./||' | sort >"$WORK/data.txt"
[ "$(grep -c '\.vert$\|\.frag$' "$WORK/data.txt")" = 6 ] || fail "data/ does not hold six shaders"
[ "$(grep -c '^models/' "$WORK/data.txt")" -ge 6 ] || fail "data/models holds too few models"
[ "$(grep -c '^sound/' "$WORK/data.txt")" -ge 14 ] || fail "data/sound holds too few sounds"
while read -r f; do
  has $reg "usr/share/games/quorbly/$f"
  cmp -s "$DATA_DIR/$f" "$WORK/root/usr/share/games/quorbly/$f" || fail "packaged $f differs from data/"
done <"$WORK/data.txt"
(cd "$WORK/root/usr/share/games/quorbly" && find . -type f | sed 's|^\./||' | sort) >"$WORK/packaged.txt"
diff "$WORK/data.txt" "$WORK/packaged.txt" >"$WORK/extra.txt" || fail "data directory differs: $(cat "$WORK/extra.txt")"
grep -v ' \./usr/' "$WORK/contents.txt" | grep -v ' \./$' | grep -q . && fail "files outside /usr"
grep -qF 'datadir="/usr/share/games/quorbly"' "$WORK/root/usr/games/quorbly" ||
  fail "the packaged launcher does not name /usr/share/games/quorbly"

# Menu entry and manual page.
desktop="$WORK/root/usr/share/applications/quorbly.desktop"
desktop-file-validate "$desktop" >"$WORK/desktop.txt" 2>&1 && [ ! -s "$WORK/desktop.txt" ] ||
  fail "desktop entry: $(cat "$WORK/desktop.txt")"
grep -qx 'Exec=quorbly' "$desktop" || fail "desktop entry does not run quorbly"
grep -qx 'Icon=quorbly' "$desktop" || fail "desktop entry has another icon"
grep -qx 'Categories=Game;ArcadeGame;' "$desktop" || fail "desktop entry categories"
grep -qx 'Type=Application' "$desktop" || fail "desktop entry type"

# AppStream, copyright file, changelog, and lintian on the whole.
meta="$WORK/root/usr/share/metainfo/example.c_seed_043ad2ac.Quorbly.metainfo.xml"
appstreamcli validate --no-net "$meta" >"$WORK/meta.txt" 2>&1 || fail "metainfo: $(cat "$WORK/meta.txt")"
grep -qF "<release version=\"$version\"" "$meta" || fail "metainfo lacks the release $version"
doc="$WORK/root/usr/share/doc/quorbly"
head -1 "$doc/copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' &&
  grep -qx 'License: GPL-3+' "$doc/copyright" || fail "copyright file is not machine-readable GPL-3+"
[ "$(zcat "$doc/changelog.gz" | dpkg-parsechangelog -l - -S Version)" = "$version" ] || fail "changelog is not at $version"
lintian --fail-on error "$deb" >"$WORK/lintian.txt" 2>&1 || fail "lintian: $(cat "$WORK/lintian.txt")"

page="$WORK/root/usr/share/man/man6/quorbly.6.gz"
gzip -t "$page" || fail "manual page is not gzip"
zcat "$page" | groff -man -Tutf8 -ww -z >"$WORK/groff.txt" 2>&1
[ ! -s "$WORK/groff.txt" ] || fail "groff warns: $(cat "$WORK/groff.txt")"
# Rendered without hyphenation, runs of blanks squeezed: each key of the
# controls section starts a line of its own.
zcat "$page" | groff -man -rHY=0 -Tascii -P-cbou 2>/dev/null | sed 's/  */ /g' >"$WORK/man.txt"
sed -n '/^CONTROLS$/,/^FILES$/p' "$WORK/man.txt" >"$WORK/controls.txt"
for key in Escape Space 'Arrow keys' 'W A S D' F1 1 2 'I K J L U M' P 'Keypad -' 'Keypad +' \
  F4 F5 F6 F7 F8 F9 F10 F11 F12; do
  awk -v k="$key" 'index($0, " " k " ") == 1 { found = 1 } END { exit !found }' "$WORK/controls.txt" ||
    fail "manual page lacks the key '$key'"
done
grep -q 'F2 and F3 do nothing' "$WORK/controls.txt" || fail "manual page does not say F2 and F3 do nothing"
for f in terrains ball.vert terrain.frag powerup.vert models/ sound/ /usr/share/games/quorbly \
  /usr/lib/games/quorbly/quorbly 'EXIT STATUS' 'HOW A MATCH GOES' '5 frags'; do
  grep -qF "$f" "$WORK/man.txt" || fail "manual page does not mention $f"
done
if command -v man >/dev/null; then
  man -l "$page" >/dev/null 2>"$WORK/man-err.txt" || fail "man -l failed: $(cat "$WORK/man-err.txt")"
fi

# A machine with nothing installed can resolve every dependency from the
# configured archive (needs apt's package lists; skipped without them).
if command -v apt-get >/dev/null && apt-cache show libsdl1.2debian >/dev/null 2>&1; then
  : >"$WORK/empty-status"
  (cd "$WORK/pkg" && apt-get -s -o Dir::State::status="$WORK/empty-status" \
    install "./$(basename "$deb")") >"$WORK/apt.txt" 2>&1 || fail "apt cannot install it: $(tail -5 "$WORK/apt.txt")"
  for pkg in quorbly libsdl1.2debian libsdl-mixer1.2 libglut3.12 libglu1-mesa libgl1; do
    grep -q "^Inst $pkg " "$WORK/apt.txt" || fail "apt would not install $pkg"
  done
else
  echo "note: no apt package lists, dependency resolution not simulated"
fi

# --- cmake --install and the launcher ---------------------------------------
prefix="$WORK/prefix"
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$WORK/install.txt" 2>&1 ||
  { cat "$WORK/install.txt"; fail "cmake --install failed"; }
launcher="$prefix/games/quorbly"
[ -x "$launcher" ] || fail "no launcher at games/quorbly"
[ -x "$prefix/lib/games/quorbly/quorbly" ] || fail "no game at lib/games/quorbly/quorbly"
grep -qF "datadir=\"$prefix/share/games/quorbly\"" "$launcher" || fail "launcher does not name the install prefix"
[ -f "$prefix/share/man/man6/quorbly.6.gz" ] || fail "no manual page installed"
zcat "$prefix/share/man/man6/quorbly.6.gz" | grep -qF "$prefix/share/games/quorbly" ||
  fail "installed manual page does not name the install prefix"
sh -n "$launcher" || fail "launcher is not valid sh"

# The launcher alone, in front of a stand-in game: it names the data
# directory next to it with --data and hands on every argument unchanged.
fake="$WORK/fake"
mkdir -p "$fake/games" "$fake/share/games/quorbly" "$fake/lib/games/quorbly"
cp "$launcher" "$fake/games/quorbly"
: >"$fake/share/games/quorbly/terrains"
# shellcheck disable=SC2016 # the stand-in expands these when it runs
printf '#!/bin/sh\necho "dir=$(pwd)"\nfor a in "$@"; do echo "arg=$a"; done\n' >"$fake/lib/games/quorbly/quorbly"
chmod +x "$fake/lib/games/quorbly/quorbly"
(cd / && timeout 20 "$fake/games/quorbly" 'two words' '' '*') >"$WORK/fake.txt" 2>&1
printf 'dir=/\narg=--data\narg=%s\narg=two words\narg=\narg=*\n' "$fake/games/../share/games/quorbly" |
  diff - "$WORK/fake.txt" >/dev/null ||
  fail "launcher in a moved tree: $(cat "$WORK/fake.txt")"
# Copied on its own, it falls back on the prefix it was installed with: the
# real game then says it has no display.
mkdir -p "$WORK/lone"
cp "$launcher" "$WORK/lone/quorbly"
(cd / && env -u DISPLAY timeout 20 "$WORK/lone/quorbly") >"$WORK/lone.txt" 2>&1
grep -q '^Quorbly: cannot open a window: no X display' "$WORK/lone.txt" ||
  fail "a lone launcher did not find the installed game: $(cat "$WORK/lone.txt")"

# The real thing: started by name through the PATH from another directory.
play() {
  local from="$1" path="$2"
  (cd "$from" && PATH="$path:$PATH" exec quorbly >"$WORK/out.txt" 2>"$WORK/err.txt") &
  GAME_PID=$!
  local win
  win=$(find_window) || fail "no window named Quorbly ($3)"
  wait_for_output "Loading Map: " || fail "no map loaded ($3)"
  kill -0 "$GAME_PID" 2>/dev/null || fail "game died after start ($3)"
  focus_window "$win"
  xdotool key Escape
  wait_exit 20
  [ "$STATUS" = "0" ] || fail "Escape gave status $STATUS ($3)"
  grep -q '^Cannot open' "$WORK/out.txt" && fail "data not found ($3)"
  return 0
}
play / "$prefix/games" "cmake --install"
# The unpacked package, reached through a symbolic link on the PATH.
mkdir -p "$WORK/bin"
ln -s "$WORK/root/usr/games/quorbly" "$WORK/bin/quorbly"
play "$WORK" "$WORK/bin" "unpacked package"
echo "PASS: $(basename "$deb")"
