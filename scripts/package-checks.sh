#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the Debian package the way a user meets it: its files, its metadata, and the program
# installed from it. Packs the already built tree build/ (scripts/package.sh --build-dir build),
# or checks the package given:
#   bash scripts/package-checks.sh [vestra2007_<version>_amd64.deb]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -ge 1 ]; then
    deb="$(realpath "$1")"
else
    bash scripts/package.sh --build-dir build
    deb="$(realpath build/package/vestra2007_*_amd64.deb)"
fi
version="$(grep -m1 -oP 'project\(Vestra2007 VERSION \K[0-9.]+' CMakeLists.txt)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "package check failed: $*" >&2; exit 1; }

echo "== package fields"
[ "$(basename "$deb")" = "vestra2007_${version}-1_amd64.deb" ] || fail "file name $(basename "$deb")"
field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = vestra2007 ] || fail "Package"
[ "$(field Version)" = "${version}-1" ] || fail "Version $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture"
[ "$(field Section)" = science ] || fail "Section"
[ "$(field Priority)" = optional ] || fail "Priority"
field Depends | grep -q 'fonts-ipafont-gothic' || fail "Depends lacks fonts-ipafont-gothic"
# Found by dpkg-shlibdeps, not written by hand.
field Depends | grep -q 'libqt6widgets6 (>= ' || fail "Depends lacks the Qt libraries"
[ "$(field Recommends)" = qt6-translations-l10n ] || fail "Recommends"
# The triggers of the desktop, MIME and icon databases do the work; no maintainer scripts.
dpkg-deb --ctrl-tarfile "$deb" | tar -t | grep -qE '(pre|post)(inst|rm)$' && fail "maintainer scripts"

echo "== package contents"
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort >"$work/files"
cat >"$work/expected" <<LIST
./usr/bin/vestra2007
./usr/share/applications/vestra2007.desktop
./usr/share/doc/vestra2007/changelog.Debian.gz
./usr/share/doc/vestra2007/copyright
./usr/share/doc/vestra2007/html/index.html
./usr/share/icons/hicolor/128x128/apps/vestra2007.png
./usr/share/icons/hicolor/16x16/apps/vestra2007.png
./usr/share/icons/hicolor/256x256/apps/vestra2007.png
./usr/share/icons/hicolor/32x32/apps/vestra2007.png
./usr/share/icons/hicolor/48x48/apps/vestra2007.png
./usr/share/icons/hicolor/64x64/apps/vestra2007.png
./usr/share/icons/hicolor/scalable/apps/vestra2007.svg
./usr/share/man/man1/vestra2007.1.gz
./usr/share/metainfo/org.vestra2007.Vestra2007.metainfo.xml
./usr/share/mime/packages/vestra2007.xml
LIST
sort -o "$work/expected" "$work/expected"
diff -u "$work/expected" "$work/files" || fail "the files differ from the list above"

echo "== metadata"
root="$work/root"
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/vestra2007.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml || fail "AppStream"
# The file type registers, and *.vestra maps to it.
cp -r "$root/usr/share/mime" "$work/mime"
cp /usr/share/mime/packages/freedesktop.org.xml "$work/mime/packages/"
XDG_DATA_HOME="$work" update-mime-database "$work/mime" 2>&1 | tee "$work/mime.log"
[ -s "$work/mime.log" ] && fail "MIME type"
grep -q '^application/x-vestra-analysis:\*\.vestra$' "$work/mime/globs" || fail "MIME glob"
grep -q '^application/x-vestra-analysis application/json$' "$work/mime/subclasses" ||
    fail "MIME subclass"
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/vestra2007.1.gz" \
    2>"$work/man.log" >/dev/null
[ -s "$work/man.log" ] && { cat "$work/man.log"; fail "manual page"; }

echo "== the installed program"
find "$root" | sort >"$work/before"
program="$root/usr/bin/vestra2007"
# No display, no pcol.dat, a folder that is not the program's.
answer="$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" --version)"
[ "$answer" = "Vestra2007 $version" ] || fail "--version said: $answer"
(cd "$work" && env -u DISPLAY "$program" --help | grep -q -- '--user-data') || fail "--help"
# The program finds the guide from its own folder: the installed page, in the unpacked tree too.
(cd "$work" && env -u DISPLAY "$program" --help |
    grep -qF "it is the file $(realpath "$root")/usr/share/doc/vestra2007/html/index.html.") ||
    fail "--help does not name the installed guide"

export QT_QPA_PLATFORM=offscreen
mkdir "$work/data"
shown="$(cd "$work" && timeout 120 "$program" --data-dir data --quit-when-shown)" ||
    fail "--data-dir on an empty folder did not show the main window"
echo "$shown"
[ "$shown" = "vestra2007: frmMain shown; startDir $work/data; photoPath " ] || fail "start-up: $shown"
[ "$(od -An -c "$work/data/pcol.dat" | tr -s ' ')" = " 0 , 4 0 \r \n" ] || fail "default pcol.dat"
[ "$(ls "$work/data/samples" | wc -l)" -eq 31 ] || fail "sample photos and video"
[ -s "$work/data/samples/sample.mp4" ] || fail "sample.mp4"
[ -f "$work/data/samples/sample(030).bmp" ] || fail "sample(030).bmp"

# As the menu starts it: the desktop entry's Exec line (no file), the user's data folder.
exec_line="$(sed -n 's/^Exec=//p' "$root/usr/share/applications/vestra2007.desktop")"
read -r -a command <<<"${exec_line//%f/}"
[ "${command[0]}" = vestra2007 ] || fail "Exec starts ${command[0]}"
shown="$(cd / && HOME="$work/home" XDG_DATA_HOME="$work/xdg" PATH="$root/usr/bin:$PATH" \
    timeout 120 "${command[@]}" --quit-when-shown "$work/data/samples/sample(002).bmp")" ||
    fail "the desktop entry's command did not show the main window"
echo "$shown"
[ "$shown" = "vestra2007: frmMain shown; startDir $work/xdg/vestra2007; photoPath $work/data/samples/sample(002).bmp" ] ||
    fail "menu start: $shown"
[ -f "$work/xdg/vestra2007/pcol.dat" ] && [ -f "$work/xdg/vestra2007/samples/sample(001).bmp" ] ||
    fail "the user's data folder was not filled"

# Nothing was written next to the installed program.
find "$root" | sort >"$work/after"
diff -u "$work/before" "$work/after" || fail "files appeared in the installed tree"
echo "package checks: all passed ($(basename "$deb"))"
