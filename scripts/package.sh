#!/usr/bin/env bash
# Builds the Debian package quiet-highland_<version>_<arch>.deb from a build tree: the
# build's own `cmake --install` with prefix /usr into a staging root, binaries stripped,
# manual pages compressed, the dependencies computed from the binaries by dpkg-shlibdeps.
# usage: scripts/package.sh [BUILD_DIR [OUT_DIR]]   (defaults: build, the current folder)
# Prints the package's path on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out=$(realpath "${2:-.}")
for tool in dpkg-deb dpkg-shlibdeps strip; do
  command -v "$tool" >/dev/null 2>&1 || { echo "package: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
[ -x "$build/bin/quiet-highland" ] || { echo "package: no build in $build (run scripts/build.sh first)" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || { echo "package: $build/CMakeCache.txt names no project version" >&2; exit 1; }
arch=$(dpkg --print-architecture)
name=quiet-highland
deb=$out/${name}_${version}_${arch}.deb

staging=$(mktemp -d "${TMPDIR:-/tmp}/qh-package.XXXXXX")
trap 'rm -rf "$staging"' EXIT
root=$staging/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$staging/install.log" ||
  { cat "$staging/install.log" >&2; echo "package: cmake --install failed" >&2; exit 1; }

# What Debian's packaging helpers would do: no debugging symbols in the shipped programs,
# compressed manual pages, the copyright and the changelog in the package's doc folder.
for program in "$root"/usr/bin/*; do
  strip --strip-unneeded --remove-section=.comment --remove-section=.note "$program"
done
find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +
doc=$root/usr/share/doc/$name
mkdir -p "$doc"
cat >"$doc/copyright" <<'EOF'
Quiet Highland, a screensaver for Linux desktops.

Copyright 2026 the Quiet Highland developers <dev@quiet-highland.invalid>

The program, the scenes, the pictures, the sounds and the music are all made by the
project's own code; the pictures, sounds and music are generated at build time by its
content generator. The clock's glyphs in /usr/share/quiet-highland/Data/font.dat and
_a_font.jpg are rendered from DejaVu Sans, whose licence (the Bitstream Vera font licence
with the DejaVu changes) is in /usr/share/doc/fonts-dejavu-core/copyright on Debian.
EOF
{
  echo "$name ($version) unstable; urgency=medium"
  echo
  echo "  * Built from the project's sources, version $version."
  echo
  echo " -- Quiet Highland <dev@quiet-highland.invalid>  $(LC_ALL=C date -R -d "@$(stat -c %Y "$build/CMakeCache.txt")")"
} | gzip -9n >"$doc/changelog.gz"
find "$root" -type d -exec chmod 755 {} +
find "$root" -type f -exec chmod 644 {} +
chmod 755 "$root"/usr/bin/*

# dpkg-shlibdeps reads the package's name from a debian/control of its own.
mkdir -p "$staging/debian" "$root/DEBIAN"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" >"$staging/debian/control"
depends=$(cd "$staging" && dpkg-shlibdeps -O -Tdebian/substvars root/usr/bin/* 2>"$staging/shlibdeps.log" |
  sed -n 's/^shlibs:Depends=//p') || { cat "$staging/shlibdeps.log" >&2; exit 1; }
[ -n "$depends" ] || { cat "$staging/shlibdeps.log" >&2; echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# Mesa draws the picture when there is no GPU driver of the card's maker; SDL opens libGL
# and the sound libraries itself, so they do not show in the binaries.
depends="$depends, libgl1-mesa-dri | libgl1"

(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/md5sums"
installed_size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
cat >"$root/DEBIAN/control" <<EOF
Package: $name
Version: $version
Architecture: $arch
Maintainer: Quiet Highland <dev@quiet-highland.invalid>
Installed-Size: $installed_size
Depends: $depends
Suggests: xscreensaver | mate-screensaver
Section: x11
Priority: optional
Description: living highland nature scene as a screensaver
 Quiet Highland shows an animated 800x600 scene of a highland valley, drawn
 with OpenGL: drifting clouds, rippling water, waterfalls with rising spray,
 swaying branches, a clock over the picture, music and the sounds of nature.
 After a chosen delay the picture zooms and fades into the next scene.
 .
 It runs as XScreenSaver's, MATE's and xfce's screensaver (the package puts
 its entries where their settings tools look), or on its own with
 "quiet-highland /s"; "quiet-highland /c" opens its settings dialog. The
 capture tool quiet-highland-render writes its frames and sound to files.
EOF
chmod 644 "$root/DEBIAN/control"
mkdir -p "$out"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"
