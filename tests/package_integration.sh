#!/usr/bin/env bash
# One case of the Debian package as people get it: scripts/package.sh builds it from the
# build tree; what it holds, what lintian says of it, and (as root) installed with apt-get,
# run from /usr by hand and by MATE's daemon, and removed without a trace.
# usage: package_integration.sh CASE BUILD_DIR SOURCE_DIR
set -u
case_name=$1
build=$2
source_dir=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-package-test.XXXXXX")
chmod 755 "$work"
cleanup() { rm -rf "$work"; }
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*" >&2
  exit 1
}
skip() {
  echo "SKIP ($case_name): $*"
  exit 77
}

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg XDG_RUNTIME_DIR=$work/run
export SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $build/CMakeCache.txt"

build_package() {
  "$source_dir/scripts/package.sh" "$build" "$work" >"$work/package.log" 2>&1 ||
    fail "scripts/package.sh failed: $(tail -5 "$work/package.log")"
  deb=$(tail -1 "$work/package.log")
  [ "$deb" = "$work/quiet-highland_${version}_$(dpkg --print-architecture).deb" ] || fail "the package is \"$deb\""
  [ -f "$deb" ] || fail "no package at $deb"
  # The paths it holds, without the leading "." (directories end in /).
  dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's#^\./#/#' >"$work/contents"
}

case "$case_name" in
  package_holds_what_the_saver_needs)
    build_package
    has() { grep -qxF "$1" "$work/contents" || fail "the package lacks $1"; }
    for f in /usr/bin/quiet-highland /usr/bin/quiet-highland-render /usr/libexec/xscreensaver/quiet-highland \
             /usr/share/xscreensaver/config/quiet-highland.xml /usr/share/applications/quiet-highland.desktop \
             /usr/share/applications/screensavers/quiet-highland.desktop \
             /usr/share/icons/hicolor/128x128/apps/quiet-highland.png /usr/share/man/man1/quiet-highland.1.gz \
             /usr/share/man/man1/quiet-highland-render.1.gz /usr/share/doc/quiet-highland/copyright \
             /usr/share/doc/quiet-highland/changelog.gz; do
      has "$f"
    done
    # Every file of the installation's data folder: the scenes, the sounds, the music.
    (cd "$build/share/quiet-highland" && find . -type f | sed 's#^\.#/usr/share/quiet-highland#') >"$work/data"
    [ "$(wc -l <"$work/data")" -gt 40 ] || fail "the build's data folder is nearly empty"
    while read -r f; do has "$f"; done <"$work/data"
    # Nothing else: no test program, test data or build tool of the build tree.
    stray=$(grep -v -E '/$|^/usr/bin/quiet-highland(-render)?$|^/usr/libexec/xscreensaver/quiet-highland$|^/usr/share/(quiet-highland|xscreensaver/config|applications|icons/hicolor|man/man1|doc/quiet-highland)/' \
      "$work/contents")
    [ -z "$stray" ] || fail "the package holds what the saver does not need: $stray"
    for program in "$build"/bin/* "$build"/tools/qh-make-content; do
      name=$(basename "$program")
      case "$name" in quiet-highland | quiet-highland-render) continue ;; esac
      ! grep -q "/$name\$" "$work/contents" || fail "the package holds the build's $name"
    done
    link=$(dpkg-deb --contents "$deb" | awk '$6 == "./usr/libexec/xscreensaver/quiet-highland" {print $8}')
    [ "$link" = "../../bin/quiet-highland" ] || fail "XScreenSaver's link points at \"$link\""
    # The installed manual is what the dialog's link opens, not the staging folder's.
    dpkg-deb --fsys-tarfile "$deb" | tar -xOf - ./usr/share/quiet-highland/links.txt >"$work/links.txt"
    grep -q '^link1=file:///usr/share/quiet-highland/manual.html' "$work/links.txt" ||
      fail "links.txt points elsewhere: $(cat "$work/links.txt")"
    dpkg-deb --field "$deb" Version | grep -qxF "$version" || fail "the package's version is not $version"
    depends=$(dpkg-deb --field "$deb" Depends)
    for lib in libc6 libsdl2-2.0-0 libsdl2-image-2.0-0 libgtk-3-0 libopenmpt0 libvorbisfile3 libmpg123-0; do
      grep -q "\\b$lib\\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
    done
    # Debian's package checker: no errors; its warnings are shown.
    lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1
    ! grep -q '^E:' "$work/lintian.log" || fail "lintian: $(grep '^E:' "$work/lintian.log")"
    grep '^[WI]:' "$work/lintian.log" || true
    ;;

  package_installs_runs_and_goes_away)
    [ "$(id -u)" -eq 0 ] || skip "needs root to install the package with apt-get"
    if dpkg-query -W -f='${Status}' quiet-highland 2>/dev/null | grep -q "ok installed"; then
      skip "quiet-highland is installed on this machine already; the test leaves it alone"
    fi
    build_package
    # The machine is put back as it was, however the case ends.
    trap 'DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y quiet-highland >/dev/null 2>&1; cleanup' EXIT
    # Folders of the package that the machine already has stay after the removal.
    grep '/$' "$work/contents" | while read -r d; do [ -d "$d" ] && echo "$d"; done >"$work/folders-before"
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
      fail "apt-get install: $(tail -5 "$work/apt.log")"
    [ "$(/usr/bin/quiet-highland --version)" = "quiet-highland $version" ] || fail "/usr/bin/quiet-highland --version"
    if command -v man >/dev/null; then
      man -w quiet-highland >/dev/null 2>&1 || fail "man does not find quiet-highland(1)"
    fi
    # The installed capture tool draws the scene from /usr/share/quiet-highland: the same
    # frame as the build tree's.
    /usr/bin/quiet-highland-render --frames 2 --time 12:00:00 --png "$work/installed.png" >/dev/null 2>&1 ||
      fail "the installed capture tool failed"
    "$build/bin/quiet-highland-render" --frames 2 --time 12:00:00 --png "$work/built.png" >/dev/null 2>&1 ||
      fail "the build's capture tool failed"
    [ "$("$build/bin/desktop_test_tool" differ "$work/installed.png" "$work/built.png")" = "0.0000" ] ||
      fail "the installed tool draws another picture than the build's"
    # MATE's daemon lists the theme from /usr/share and runs /usr/bin/quiet-highland.
    bash "$source_dir/tests/desktop_integration.sh" mate_daemon_runs_the_installed_theme "$build" "$source_dir" \
      >"$work/mate.log" 2>&1 || fail "$(tail -30 "$work/mate.log")"
    grep "ended" "$work/mate.log"
    DEBIAN_FRONTEND=noninteractive apt-get remove --purge -y quiet-highland >"$work/apt.log" 2>&1 ||
      fail "apt-get remove --purge: $(tail -5 "$work/apt.log")"
    ! dpkg-query -W -f='${Status}' quiet-highland 2>/dev/null | grep -q "ok installed" || fail "still installed"
    left=""
    while read -r f; do
      case "$f" in
        */) [ -d "$f" ] && ! grep -qxF "$f" "$work/folders-before" && left="$left $f" ;;
        *) { [ -e "$f" ] || [ -L "$f" ]; } && left="$left $f" ;;
      esac
    done <"$work/contents"
    [ -z "$left" ] || fail "left behind after remove --purge:$left"
    ;;

  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
