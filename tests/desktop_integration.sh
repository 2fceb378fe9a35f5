#!/usr/bin/env bash
# One integration case of the saver as a desktop's screensaver daemon meets it: the long
# options, drawing into a daemon's window (-window-id, -root), the real XScreenSaver and
# MATE daemons, the system's sleep notice over D-Bus, the manual pages, and the installed
# desktop files.
# usage: desktop_integration.sh CASE BUILD_DIR SOURCE_DIR
# BUILD_DIR holds bin/quiet-highland, bin/quiet-highland-render, bin/host_test_window and
# bin/desktop_test_tool, and the generated share/ tree.
set -u
case_name=$1
build=$2
source_dir=$3
saver=$build/bin/quiet-highland
render=$build/bin/quiet-highland-render
xhelper=$build/bin/host_test_window
tool=$build/bin/desktop_test_tool

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-desktop.XXXXXX")
chmod 755 "$work"  # the daemon's own user must reach its home in here
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*" >&2
  for log in saver.log saver.err xss.log bus.log logind.log xvfb.log mate.log; do
    # MATE's debug log: only its lines about themes, jobs and their programs.
    if [ -s "$work/$log" ]; then
      grep -E -v "not raising|geometry|resize_window|_grab|fade" "$work/$log" | sed "s/^/  $log: /" | tail -40 >&2
    fi
  done
  exit 1
}

export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg XDG_RUNTIME_DIR=$work/run
# This machine has no sound card: SDL's dummy driver plays the sound into nothing, so the
# probing of absent cards says nothing on stderr, where these cases look for errors.
export SDL_AUDIODRIVER=dummy
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DISPLAY XSCREENSAVER_WINDOW DBUS_SESSION_BUS_ADDRESS
# No test may reach the machine's own system bus.
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-system-bus
user_store=$XDG_CONFIG_HOME/quiet-highland/registry.reg
defaults='"settings"=hex:00,00,00,00,50,00,00,00,00,01,00,00,00,00,00,00,01,01,00,00'

source "$(dirname "${BASH_SOURCE[0]}")/saver_process.sh"

start_x() {
  start_xvfb "${1:-1024x768}"
  root_id=$(xwininfo -root | awk '/Window id:/ {print $4}')
}

# SDL sees one display under Xvfb; Xorg's dummy driver offers outputs that xrandr can switch
# on: a 16:9 monitor (1024x576 at 0,0) and a 4:3 one of another size beside it (800x600 at
# 1024,0). Xorg needs root.
start_two_monitors() {
  printf '%s\n' 'Section "Device"' '  Identifier "dummy"' '  Driver "dummy"' '  VideoRam 256000' 'EndSection' \
    'Section "Screen"' '  Identifier "screen"' '  Device "dummy"' '  DefaultDepth 24' '  SubSection "Display"' \
    '    Depth 24' '    Virtual 2048 1024' '  EndSubSection' 'EndSection' >"$work/xorg.conf"
  Xorg -noreset -nolisten tcp -config "$work/xorg.conf" -logfile "$work/xorg.log" -displayfd 3 \
    3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  local i
  for i in $(seq 100); do grep -q '^[0-9]' "$work/display" 2>/dev/null && break; sleep 0.1; done
  grep -q '^[0-9]' "$work/display" || fail "Xorg with the dummy driver did not start (it needs root)"
  export DISPLAY=":$(head -1 "$work/display")"
  root_id=$(xwininfo -root | awk '/Window id:/ {print $4}')
  xrandr --output DUMMY0 --mode 1024x576 >/dev/null 2>&1 || fail "no 1024x576 mode on DUMMY0"
  xrandr --addmode DUMMY1 800x600 && xrandr --output DUMMY1 --mode 800x600 --right-of DUMMY0 ||
    fail "could not switch on a second output"
  xrandr | grep -q "DUMMY1 connected 800x600+1024+0" || fail "the second monitor is not there: $(xrandr)"
}

# A system user of the test's own, for a daemon that will not run programs as root.
make_user() {
  id "$1" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$1" ||
    fail "can't create the user $1 for the daemon"
}

skip() {
  echo "SKIP ($case_name): $*"
  exit 77
}

# MATE's daemon on two monitors, as a user of its own with a private session bus, the theme
# chosen with gsettings as MATE's preferences choose it: the daemon finds the theme in the
# screensaver menu of $1 (a share folder, ahead of /usr/share), starts the program $2 once
# per monitor, which draw the scene and only one of which plays sound, and on deactivation
# they end within a second. MATE runs only programs that lie in its own folders or
# XScreenSaver's (/usr/libexec/xscreensaver): with $3 = "namespace", a folder holding a link
# to $2 is seen there instead, in a mount namespace of the daemon's own, so the machine's
# folder is never touched.
mate_daemon_runs() {
  local share=$1 program=$2 programs="" i daemon_path=/usr/bin:/bin
  if [ "${3:-}" = namespace ]; then
    programs=$work/xscreensaver-programs
    mkdir -p "$programs"
    ln -s "$program" "$programs/quiet-highland"
    # Only through that folder, even when the machine has a quiet-highland of its own.
    daemon_path=/nonexistent
  fi
  [ "$(id -u)" -eq 0 ] || skip "needs root: Xorg's two monitors and a user of the daemon's own"
  start_two_monitors
  make_user qh-mate
  local home=$work/mate-home
  mkdir -p "$home/.config" "$home/run" "$work/mate-log"
  # The daemon hands its programs a bare environment (DISPLAY, HOME, PATH, a few more):
  # ALSA's per-user file in that HOME sends the sound into a file, so the test sees which
  # of the programs opened the sound device.
  printf 'pcm.!default {\n type file\n slave.pcm "null"\n file "%s"\n format "raw"\n}\n' \
    "$work/mate-log/sound.raw" >"$home/.asoundrc"
  chown -R qh-mate "$home" "$work/mate-log"
  chmod 700 "$home/run"
  as_mate() {
    runuser -u qh-mate -- env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
      XDG_RUNTIME_DIR="$home/run" XDG_CURRENT_DESKTOP=MATE XDG_DATA_DIRS="$share:/usr/share" \
      DISPLAY="$DISPLAY" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
      DBUS_SESSION_BUS_ADDRESS="unix:path=$home/run/bus" "$@"
  }
  # The session bus starts dconf, which keeps what gsettings sets, in the daemon's HOME.
  as_mate dbus-daemon --session --nofork --address="unix:path=$home/run/bus" >"$work/bus.log" 2>&1 &
  pids+=($!)
  for i in $(seq 100); do [ -S "$home/run/bus" ] && break; sleep 0.1; done
  [ -S "$home/run/bus" ] || fail "the daemon's session bus did not start"
  as_mate gsettings set org.mate.screensaver mode single &&
    as_mate gsettings set org.mate.screensaver themes "['screensavers-quiet-highland']" &&
    as_mate gsettings set org.mate.screensaver lock-enabled false || fail "gsettings could not choose the theme"
  local daemon=(as_mate mate-screensaver --no-daemon --debug)
  if [ -n "$programs" ]; then
    daemon=(unshare --mount --propagation private -- sh -c 'mount --bind "$0" /usr/libexec/xscreensaver && exec "$@"'
            "$programs" runuser -u qh-mate -- env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
            XDG_RUNTIME_DIR="$home/run" XDG_CURRENT_DESKTOP=MATE XDG_DATA_DIRS="$share:/usr/share" \
            DISPLAY="$DISPLAY" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
            DBUS_SESSION_BUS_ADDRESS="unix:path=$home/run/bus" PATH="$daemon_path" \
            /usr/bin/mate-screensaver --no-daemon --debug)
  fi
  "${daemon[@]}" >"$work/mate.log" 2>&1 &
  pids+=($!)
  for i in $(seq 100); do as_mate mate-screensaver-command --query >/dev/null 2>&1 && break; sleep 0.2; done
  as_mate mate-screensaver-command --activate >/dev/null 2>&1 || fail "mate-screensaver-command --activate failed"
  local savers=()
  for i in $(seq 100); do
    mapfile -t savers < <(pgrep -u qh-mate -f '^quiet-highland -root$')
    [ ${#savers[@]} -ge 2 ] && break
    sleep 0.2
  done
  ! grep -q "Could not find information for theme" "$work/mate.log" ||
    fail "MATE did not find the theme: $(grep "Could not find" "$work/mate.log")"
  grep -q "Setting command for job: 'quiet-highland -root'" "$work/mate.log" ||
    fail "MATE found no program to run for the theme"
  [ ${#savers[@]} -eq 2 ] || fail "${#savers[@]} programs for two monitors"
  for saver_pid in "${savers[@]}"; do
    tr '\0' '\n' <"/proc/$saver_pid/environ" | grep -q '^XSCREENSAVER_WINDOW=0x' ||
      fail "a program was started without XSCREENSAVER_WINDOW"
    [ "$(readlink "/proc/$saver_pid/exe")" = "$(readlink -f "$program")" ] ||
      fail "MATE ran $(readlink "/proc/$saver_pid/exe"), not $program"
  done
  # MATE's window fills each monitor; the picture keeps 4:3 in it.
  wait_for_sky 90 "$root_id" 768 576 128 0 || fail "no sky on the first monitor"
  wait_for_sky 20 "$root_id" 800 600 1024 0 || fail "no sky on the second monitor"
  local playing=0 p
  for p in "${savers[@]}"; do
    ls -l "/proc/$p/fd" 2>/dev/null | grep -qF "$work/mate-log/sound.raw" && playing=$((playing + 1))
  done
  [ "$playing" -eq 1 ] || fail "$playing of the two programs opened the sound device (one expected)"
  [ -s "$work/mate-log/sound.raw" ] || fail "no sound was played"
  local started=$(now_ms)
  as_mate mate-screensaver-command --deactivate >/dev/null 2>&1
  # The daemon reaps its children in its own time: a zombie has ended.
  running() { [ -e "/proc/$1" ] && [ "$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null)" != Z ]; }
  for p in "${savers[@]}"; do
    while running "$p"; do
      [ $(($(now_ms) - started)) -lt 1000 ] || fail "a program still runs 1 s after --deactivate"
      sleep 0.02
    done
  done
  echo "both ended $(($(now_ms) - started)) ms after mate-screensaver-command --deactivate"
  sleep 0.3
  # The daemon logs what its programs write to stderr.
  ! grep -q "command output" "$work/mate.log" || fail "the program wrote to stderr: $(grep "command output" "$work/mate.log")"
}


# An xlogo window of W x H at X,Y: its top-level window in $frame, its drawing widget in $logo.
open_xlogo() {
  xlogo -geometry "$1x$2+$3+$4" >/dev/null 2>&1 &
  pids+=($!)
  frame=""
  for i in $(seq 100); do
    frame=$(xwininfo -root -tree | awk '/"xlogo": \("xlogo"/ {print $1; exit}')
    [ -n "$frame" ] && break
    sleep 0.1
  done
  [ -n "$frame" ] || fail "xlogo did not appear"
  # xlogo draws into its widget, the one child of its top-level window.
  logo=$(xwininfo -children -id "$frame" | awk '/^ +0x/ {print $1; exit}')
  [ -n "$logo" ] || fail "no xlogo widget window"
}

# The saver's frame counts (QH_FRAME_COUNT_FILE=$work/counts): $presented $ticked $rate $seen $battery.
read_counts() {
  local line
  line=$(head -1 "$work/counts" 2>/dev/null)
  set -- $line
  [ "${1:-}" = presented ] || { presented=0 ticked=0 rate=0 seen=0 battery=0; return 1; }
  presented=$2 ticked=$4 rate=$6 seen=$8 battery=${10}
}

# Waits up to $1 seconds until the shell condition $2 holds over fresh counts.
wait_counts() {
  local deadline=$(($(now_ms) + $1 * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    read_counts && eval "$2" && return 0
    alive || fail "the saver ended"
    sleep 0.05
  done
  return 1
}

# Presents stop while unseen, and the engine goes on at about two ticks a second: over
# $1 seconds no frame is presented and 1 to 4 ticks a second are counted.
expect_no_presents_for() {
  wait_counts 3 '[ "$seen" = 0 ]' || fail "$2: the saver still draws ($(cat "$work/counts"))"
  read_counts
  local p0=$presented t0=$ticked
  sleep "$1"
  read_counts
  [ "$presented" -eq "$p0" ] || fail "$2: $((presented - p0)) frames presented in $1 s"
  [ $((ticked - t0)) -ge "$1" ] && [ $((ticked - t0)) -le $(($1 * 4)) ] ||
    fail "$2: $((ticked - t0)) ticks in $1 s (about two a second expected)"
  echo "$2: no frame presented in $1 s, $((ticked - t0)) ticks"
}

# Presents resume: a new frame within 2 s (the next frame is drawn at once; the margin is
# for a busy machine, where one frame may take half a second).
expect_presents_resume() {
  read_counts
  local p0=$presented started
  started=$(now_ms)
  wait_counts 2 "[ \$presented -gt $p0 ]" || fail "$1: presents did not resume within 2 s ($(cat "$work/counts"))"
  echo "$1: presents resumed after $(($(now_ms) - started)) ms"
}

# A private bus in the system bus's place, for the test's own logind or UPower.
start_test_system_bus() {
  dbus-daemon --session --nofork --address="unix:path=$work/system_bus" --print-address=1 \
    >"$work/bus.address" 2>"$work/bus.log" &
  pids+=($!)
  local i
  for i in $(seq 100); do [ -s "$work/bus.address" ] && break; sleep 0.1; done
  [ -s "$work/bus.address" ] || fail "the test bus did not start"
  export DBUS_SYSTEM_BUS_ADDRESS=$(head -1 "$work/bus.address")
}

start_saver() {
  "$saver" "$@" >"$work/saver.log" 2>"$work/saver.err" &
  saver_pid=$!
  pids+=($saver_pid)
}

# SIGTERM ends the run cleanly within a second, with nothing on stderr.
expect_quick_clean_end() {
  local started=$(now_ms)
  wait_exit 1 || fail "still running 1 s after $1"
  [ "$rc" -eq 0 ] || fail "exit code $rc after $1"
  [ ! -s "$work/saver.err" ] || fail "stderr after $1: $(cat "$work/saver.err")"
  echo "ended $(($(now_ms) - started)) ms after $1"
}

# The colour of pixel X,Y of window $1 is within $4 of "R G B" ($2 $3 are X Y).
colour_near() {
  local got expected=$5
  got=$("$xhelper" pixel "$1" "$2" "$3" 2>/dev/null) || return 1
  near "$got" "$expected" "$4"
}

# The sky of the capture tool's first frame at picture point X,Y (800x600).
sky_in_frame() {
  [ -f "$work/frame.png" ] || "$render" --frames 1 --time 12:00:00 --png "$work/frame.png" >/dev/null 2>&1 ||
    fail "the capture tool could not draw the frame"
  "$tool" pixel "$work/frame.png" "$1" "$2"
}

# Waits up to $1 seconds until, at most points of the top of the picture drawn in window
# $2 at W $3 x H $4 (from $5,$6 in the window; 0,0 when not given), the screen shows the
# capture tool's sky.
wait_for_sky() {
  local deadline=$(($(now_ms) + $1 * 1000)) window=$2 width=$3 height=$4 left=${5:-0} top=${6:-0}
  local px py=12 expected matched
  while [ "$(now_ms)" -lt "$deadline" ]; do
    matched=0
    for px in 60 260 470 610 760; do
      expected=$(sky_in_frame "$px" "$py")
      colour_near "$window" $((left + px * width / 800)) $((top + py * height / 600)) 40 "$expected" &&
        matched=$((matched + 1))
    done
    [ "$matched" -ge 3 ] && return 0
    alive || fail "the saver ended before drawing"
    sleep 0.5
  done
  return 1
}

case "$case_name" in
  help_and_bad_options)
    "$saver" --help >"$work/out" 2>"$work/err"
    [ $? -eq 0 ] || fail "--help did not exit 0"
    grep -q -- "--window-id" "$work/out" && grep -q -- "--scene-delay" "$work/out" || fail "no usage on stdout"
    [ ! -s "$work/err" ] || fail "--help wrote to stderr"
    "$saver" -help >"$work/out2" 2>/dev/null && cmp -s "$work/out" "$work/out2" || fail "-help is not --help"
    # One version, CMake's project version, in --version and in --help.
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    [ -n "$version" ] || fail "no project version in the build's CMakeCache.txt"
    [ "$("$saver" --version 2>&1)" = "quiet-highland $version" ] || fail "--version: $("$saver" --version 2>&1)"
    grep -qF -- "--version          print the version ($version)" "$work/out" || fail "--help does not show the version"
    "$saver" --bogus >"$work/out" 2>"$work/err"
    [ $? -eq 2 ] || fail "an unknown long option did not exit 2"
    [ "$(wc -l <"$work/err")" -eq 2 ] || fail "not one line and the hint: $(cat "$work/err")"
    grep -q "unknown option --bogus" "$work/err" && grep -q -- "--help" "$work/err" || fail "$(cat "$work/err")"
    for bad in "--volume 101" "--scene-delay 7m" "--start-scene 0" "--window-id nothing" "--clock=1" "--max-fps 241" "--max-fps=-1"; do
      # shellcheck disable=SC2086
      "$saver" $bad >/dev/null 2>"$work/err"
      [ $? -eq 2 ] || fail "$bad did not exit 2"
      grep -q -- "${bad%%[ =]*}" "$work/err" || fail "$bad: the message does not name the option: $(cat "$work/err")"
    done
    # After the settings are read: a scene that is not installed.
    "$saver" --start-scene 9 /s >/dev/null 2>"$work/err"
    [ $? -eq 2 ] || fail "--start-scene 9 did not exit 2"
    grep -qE "from 1 to [1-8] \(the scenes installed\)" "$work/err" || fail "$(cat "$work/err")"
    [ ! -e "$user_store" ] || fail "a refused run wrote the settings"
    XSCREENSAVER_WINDOW=junk "$saver" -root >/dev/null 2>"$work/err"
    [ $? -eq 1 ] || fail "a bad XSCREENSAVER_WINDOW did not exit 1"
    grep -q XSCREENSAVER_WINDOW "$work/err" || fail "$(cat "$work/err")"
    ;;

  settings_options_change_the_picture)
    # Through the capture tool, which takes the saver's settings options.
    shot() { "$render" --time 07:30:00 --png "$work/$1.png" "${@:2}" >/dev/null 2>"$work/saver.log" || fail "capture $1"; }
    differ() { "$tool" differ "$work/$1.png" "$work/$2.png"; }
    more_than() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }
    shot plain --frames 2
    shot same --frames 2 --volume 0 --no-music --no-nature-sounds --music --clock --no-day-cycle
    [ "$(differ plain same)" = "0.0000" ] || fail "the default settings given as options changed the picture"
    shot noclock --frames 2 --no-clock
    d=$(differ plain noclock)
    more_than "$d" 0.001 || fail "--no-clock left the clock ($d)"
    more_than 0.05 "$d" || fail "--no-clock changed more than the clock ($d)"
    shot scene2 --frames 2 --start-scene 2
    d=$(differ plain scene2)
    more_than "$d" 0.5 || fail "--start-scene 2 shows the first scene ($d)"
    shot scene2b --frames 2 -start-scene=2
    [ "$(differ scene2 scene2b)" = "0.0000" ] || fail "-start-scene=2 differs from --start-scene 2"
    # The day cycle moves on every 20 s of the scene's time.
    shot nocycle --frames 30 --dt 1000 --scene-delay never --no-day-cycle
    shot daycycle --frames 30 --dt 1000 --scene-delay never --day-cycle
    d=$(differ nocycle daycycle)
    more_than "$d" 0.2 || fail "--day-cycle did not tint the picture after 30 s ($d)"
    # 40 one-second frames: the scene changes after 30 s, never with "never".
    shot delay30 --frames 40 --dt 1000 --scene-delay 30s --no-clock
    shot delaynever --frames 40 --dt 1000 --scene-delay never --no-clock
    d=$(differ delay30 delaynever)
    more_than "$d" 0.5 || fail "--scene-delay 30s did not change the scene within 40 s ($d)"
    "$render" --volume 200 >/dev/null 2>"$work/err"
    [ $? -eq 2 ] && grep -q -- "--volume" "$work/err" || fail "the capture tool took --volume 200"
    ;;

  window_id_draws_into_xlogo)
    start_x
    open_xlogo 400 300 20 20
    start_saver -window-id "$logo" --volume 5 --no-clock
    wait_for_sky 90 "$logo" 400 300 || fail "no sky in the xlogo window"
    # A key and a click in its window are the daemon's business: nothing ends.
    xdotool mousemove --window "$logo" 50 50 click 1 key --window "$logo" a
    sleep 1
    alive || fail "input in the window ended the run"
    # Wider: the picture keeps 4:3, black bars left and right.
    xdotool windowsize "$frame" 800 300
    ok=""
    for i in $(seq 100); do
      if colour_near "$logo" 10 150 0 "0 0 0" && colour_near "$logo" 790 150 0 "0 0 0" &&
        ! colour_near "$logo" 400 150 0 "0 0 0" && ! colour_near "$logo" 210 150 0 "255 255 255"; then
        ok=yes
        break
      fi
      sleep 0.1
    done
    [ -n "$ok" ] || fail "after the resize the picture is not 4:3 between bars"
    expected=$(sky_in_frame 470 12)
    sky=""
    for i in $(seq 50); do colour_near "$logo" $((200 + 470 / 2)) 6 40 "$expected" && { sky=yes; break; }; sleep 0.1; done
    [ -n "$sky" ] || fail "the sky is not where the resized picture has it"
    kill -TERM "$saver_pid"
    expect_quick_clean_end SIGTERM
    grep -qxF "$defaults" "$user_store" || fail "the run's options reached the settings file: $(cat "$user_store")"
    ;;

  window_id_that_does_not_exist)
    start_x
    start_saver -window-id 0x3fffff1
    wait_exit 20 || fail "still running"
    [ "$rc" -eq 1 ] || fail "exit code $rc (1 expected)"
    grep -q "no window 0x3fffff1" "$work/saver.err" || fail "no plain message: $(cat "$work/saver.err")"
    ! grep -qi "X Error\|BadWindow" "$work/saver.err" "$work/saver.log" || fail "an X error reached the user"
    ;;

  root_draws_into_the_root_window)
    start_x
    start_saver -root
    wait_for_sky 90 "$root_id" 1024 768 || fail "no sky on the root window"
    kill -TERM "$saver_pid"
    expect_quick_clean_end SIGTERM
    ;;

  # The X11 wallpaper: the root window, the picture cropped to cover a 16:9 screen (no bars),
  # a key leaves it running, SIGTERM ends it.
  wallpaper_covers_the_root_window)
    start_x 1280x720
    start_saver --wallpaper
    for i in $(seq 180); do
      # Where a letterboxed picture has its left bar.
      colour_near "$root_id" 100 360 0 "0 0 0" || break
      alive || fail "the wallpaper ended before drawing"
      sleep 0.5
    done
    colour_near "$root_id" 100 360 0 "0 0 0" && fail "the wallpaper left black bars"
    xdotool key Escape
    sleep 1
    alive || fail "a key ended the wallpaper"
    kill -TERM "$saver_pid"
    expect_quick_clean_end SIGTERM
    ;;

  xscreensaver_daemon_runs_it)
    start_x
    # XScreenSaver will not launch programs as root: run the daemon as a user of its own.
    daemon_user=()
    if [ "$(id -u)" -eq 0 ]; then
      make_user qh-xscreensaver
      daemon_user=(runuser -u qh-xscreensaver --)
    fi
    home=$work/xss-home
    mkdir -p "$home"
    cat >"$home/.xscreensaver" <<EOF
timeout:	0:30:00
cycle:		0:00:00
lock:		False
splash:		False
fade:		False
unfade:		False
dpmsEnabled:	False
captureStderr:	False
verbose:	True
mode:		one
selected:	0
programs:	\\
		"Quiet Highland"  $saver --root	\\n\\

EOF
    [ "$(id -u)" -eq 0 ] && chown -R qh-xscreensaver "$home"
    as_daemon() {
      "${daemon_user[@]}" env HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
        DISPLAY="$DISPLAY" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" SDL_AUDIODRIVER=dummy "$@"
    }
    as_daemon xscreensaver -no-splash >"$work/xss.log" 2>&1 &
    pids+=($!)
    for i in $(seq 100); do as_daemon xscreensaver-command -time >/dev/null 2>&1 && break; sleep 0.2; done
    as_daemon xscreensaver-command -activate >/dev/null 2>&1 || fail "xscreensaver-command -activate failed"
    for i in $(seq 100); do
      saver_pid=$(pgrep -f -n "^$saver --root")
      [ -n "$saver_pid" ] && break
      sleep 0.2
    done
    [ -n "$saver_pid" ] || fail "the daemon did not start the program"
    tr '\0' '\n' <"/proc/$saver_pid/environ" | grep -q '^XSCREENSAVER_WINDOW=0x' ||
      fail "the program was started without XSCREENSAVER_WINDOW as a hex id"
    wait_for_sky 90 "$root_id" 1024 768 || fail "the screen shows no sky"
    started=$(now_ms)
    as_daemon xscreensaver-command -deactivate >/dev/null 2>&1
    # The program is the daemon's child: once ended it stays a zombie until the daemon
    # collects it, which is the daemon's own time.
    running() { [ -e "/proc/$saver_pid" ] && [ "$(awk '{print $3}' "/proc/$saver_pid/stat" 2>/dev/null)" != Z ]; }
    while running; do
      [ $(($(now_ms) - started)) -lt 1000 ] || fail "still running 1 s after -deactivate"
      sleep 0.02
    done
    echo "ended $(($(now_ms) - started)) ms after xscreensaver-command -deactivate"
    # With captureStderr off the program writes to the daemon's stderr: from the daemon's
    # start of the program on, every line there must be the daemon's own.
    sleep 0.5
    ours=$(sed -n '/forked "[^"]*quiet-highland --root"/,$p' "$work/xss.log" | grep -v '^xscreensaver[-a-z]*: ')
    grep -q 'forked "[^"]*quiet-highland --root"' "$work/xss.log" || fail "the daemon's log does not show the program starting"
    [ -z "$ours" ] || fail "the program wrote to stderr: $ours"
    ;;

  sleep_notice_ends_it)
    start_x
    start_test_system_bus
    mkfifo "$work/logind.in"
    rm -f "$user_store"
    "$tool" logind "$user_store" <"$work/logind.in" >"$work/logind.out" 2>"$work/logind.log" &
    pids+=($!)
    exec 7>"$work/logind.in"
    for i in $(seq 100); do grep -q ready "$work/logind.out" && break; sleep 0.1; done
    grep -q ready "$work/logind.out" || fail "the test logind did not take its name"
    xlogo -geometry 320x240 >/dev/null 2>&1 &
    pids+=($!)
    for i in $(seq 100); do
      frame=$(xwininfo -root -tree | awk '/"xlogo": \("xlogo"/ {print $1; exit}')
      [ -n "$frame" ] && break
      sleep 0.1
    done
    logo=$(xwininfo -children -id "$frame" | awk '/^ +0x/ {print $1; exit}')
    start_saver -window-id "$logo"
    wait_for_sky 90 "$logo" 320 240 || fail "the saver did not start drawing"
    # The delay inhibitor is held while the saver runs, so the system waits for the save.
    grep -qx 'inhibit sleep delay' "$work/logind.out" || fail "no delay inhibitor for sleep was taken: $(cat "$work/logind.out")"
    ! grep -q released "$work/logind.out" || fail "the inhibitor was let go while the saver runs"
    echo sleep >&7
    for i in $(seq 250); do grep -q sent "$work/logind.out" && break; sleep 0.02; done
    grep -q sent "$work/logind.out" || fail "the test logind did not send the notice"
    started=$(now_ms)
    wait_exit 1 || fail "still running 1 s after PrepareForSleep(true)"
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    echo "ended $(($(now_ms) - started)) ms after PrepareForSleep(true)"
    grep -qxF "$defaults" "$user_store" || fail "the settings were not saved"
    for i in $(seq 50); do grep -q released "$work/logind.out" && break; sleep 0.02; done
    grep -qx 'released after the save' "$work/logind.out" || fail "the inhibitor: $(grep released "$work/logind.out" || echo 'never let go')"
    exec 7>&-
    ;;

  no_system_bus_changes_nothing)
    start_x
    xlogo -geometry 320x240 >/dev/null 2>&1 &
    pids+=($!)
    for i in $(seq 100); do
      frame=$(xwininfo -root -tree | awk '/"xlogo": \("xlogo"/ {print $1; exit}')
      [ -n "$frame" ] && break
      sleep 0.1
    done
    logo=$(xwininfo -children -id "$frame" | awk '/^ +0x/ {print $1; exit}')
    start_saver -window-id "$logo"
    wait_for_sky 90 "$logo" 320 240 || fail "the saver does not draw without a system bus"
    sleep 1
    alive || fail "ended without a system bus"
    kill -TERM "$saver_pid"
    expect_quick_clean_end SIGTERM
    ;;

  mate_daemon_runs_it)
    # The theme entry of the build tree, and the program it runs.
    mate_daemon_runs "$build/share" "$saver" namespace
    ;;

  mate_daemon_runs_the_installed_theme)
    # After the package's installation (tests/package_integration.sh runs this case): the
    # theme from /usr/share, the program from /usr/bin through XScreenSaver's folder.
    [ -x /usr/bin/quiet-highland ] || fail "quiet-highland is not installed in /usr"
    mate_daemon_runs /usr/share /usr/bin/quiet-highland
    ;;

  saver_covers_every_monitor)
    start_two_monitors
    start_saver /s
    # 16:9 at the left: the picture is 768x576 between bars of 128; 4:3 at the right: filled.
    wait_for_sky 90 "$root_id" 768 576 128 0 || fail "no sky on the first monitor"
    wait_for_sky 10 "$root_id" 800 600 1024 0 || fail "no sky on the second monitor"
    for point in "20 300" "1003 300" "20 10" "1003 570"; do
      colour_near "$root_id" $point 0 "0 0 0" || fail "the bar at $point of the first monitor is not black"
    done
    kill -TERM "$saver_pid"
    wait_exit 5 || fail "still running 5 s after SIGTERM"
    [ "$rc" -eq 0 ] || fail "exit code $rc"
    ;;

  manual_pages_cover_every_option)
    # The pages render without a warning, and every option a program's --help names has
    # its place in the program's page.
    for page in "$build/share/man/man1/quiet-highland.1" "$build/share/man/man1/quiet-highland-render.1"; do
      [ -f "$page" ] || fail "no manual page $page"
      groff -man -ww -z "$page" >"$work/groff.log" 2>&1 && [ ! -s "$work/groff.log" ] ||
        fail "groff warns about $(basename "$page"): $(cat "$work/groff.log")"
      mandoc -T lint -W style "$page" >"$work/mandoc.log" 2>&1 ||
        fail "mandoc finds faults in $(basename "$page"): $(cat "$work/mandoc.log")"
      grep -q "^\.TH .*\"Quiet Highland $(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")\"" "$page" ||
        fail "$(basename "$page") does not carry the project's version"
    done
    page_has_options() {  # $1: the page, $2: the program's --help text
      local text missing="" option
      text=$(sed 's/\\-/-/g; s/\\f[BIRP]//g' "$1")
      for option in $(grep -oE -- '--[a-z][a-z-]*' "$2" | sort -u); do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" <<<"$text" || missing="$missing $option"
      done
      [ -z "$missing" ] || fail "$(basename "$1") lacks$missing"
    }
    "$saver" --help >"$work/saver.help" || fail "quiet-highland --help"
    page_has_options "$build/share/man/man1/quiet-highland.1" "$work/saver.help"
    "$render" --help >"$work/render.help" 2>&1 || fail "quiet-highland-render --help"
    page_has_options "$build/share/man/man1/quiet-highland-render.1" "$work/render.help"
    # The one-letter switches too.
    for switch in /s /p /c; do
      grep -qE "^\.B[IR]? $switch" "$build/share/man/man1/quiet-highland.1" || fail "quiet-highland.1 lacks $switch"
    done
    ;;

  covered_window_draws_nothing)
    start_x
    start_openbox "$xhelper"
    open_xlogo 400 300 20 20
    export QH_FRAME_COUNT_FILE=$work/counts
    start_saver -window-id "$logo" --no-clock
    wait_for_sky 90 "$logo" 400 300 || fail "no sky in the xlogo window"
    wait_counts 5 '[ "$presented" -ge 10 ] && [ "$seen" = 1 ]' || fail "no frames counted: $(cat "$work/counts")"
    [ "$rate" -eq 30 ] || fail "the software renderer draws at $rate frames a second, not 30"
    # A bigger window raised over it.
    "$xhelper" create 640 480 >"$work/cover.id" 2>"$work/cover.log" &
    pids+=($!)
    for i in $(seq 100); do cover=$(head -1 "$work/cover.id" 2>/dev/null); [ -n "$cover" ] && break; sleep 0.1; done
    [ -n "$cover" ] || fail "the covering window did not appear"
    xdotool windowmove "$cover" 0 0 windowraise "$cover"
    expect_no_presents_for 3 "covered"
    # Lowered again below xlogo (xlogo raised over it): drawing comes back.
    xdotool windowraise "$frame"
    expect_presents_resume "uncovered"
    wait_for_sky 10 "$logo" 400 300 || fail "no sky after the cover went below"
    # Minimised, then back.
    # The window manager may let the first request go while it still handles the raise:
    # ask again until the window is really iconified, so what is tested is the saver.
    for i in $(seq 50); do
      xwininfo -id "$frame" | grep -q IsViewable || break
      [ $((i % 10)) -eq 1 ] && xdotool windowminimize "$frame"
      sleep 0.1
    done
    xwininfo -id "$frame" | grep -q IsViewable && fail "openbox did not minimise the xlogo window"
    expect_no_presents_for 2 "minimised"
    xdotool windowmap "$frame" windowraise "$frame"
    expect_presents_resume "restored"
    # The sound went on: the engine ran through it all and the run ends as always.
    kill -TERM "$saver_pid"
    expect_quick_clean_end SIGTERM
    ;;

  battery_lowers_the_frame_rate)
    start_x
    start_test_system_bus
    mkfifo "$work/upower.in"
    "$tool" upower <"$work/upower.in" >"$work/upower.out" 2>"$work/upower.log" &
    pids+=($!)
    exec 7>"$work/upower.in"
    for i in $(seq 100); do grep -q ready "$work/upower.out" && break; sleep 0.1; done
    grep -q ready "$work/upower.out" || fail "the test UPower did not take its name: $(cat "$work/upower.log")"
    open_xlogo 320 240 20 20
    export QH_FRAME_COUNT_FILE=$work/counts
    # The policy as a machine with a graphics card meets it: Mesa's own override of the
    # renderer's name.
    export force_gl_renderer="Test Graphics Card"
    start_saver -window-id "$logo" --no-clock
    wait_counts 90 '[ "$presented" -ge 10 ]' || fail "no frames counted: $(cat "$work/counts" 2>/dev/null)"
    [ "$battery" = 0 ] && [ "$rate" -eq 60 ] || fail "on mains: $(cat "$work/counts") (60 frames a second expected)"
    # On battery, within a second: 30 frames a second, and never more presented than that.
    echo battery >&7
    for i in $(seq 100); do grep -q sent "$work/upower.out" && break; sleep 0.02; done
    grep -q sent "$work/upower.out" || fail "the test UPower did not announce the change"
    wait_counts 1 '[ "$battery" = 1 ] && [ "$rate" -eq 30 ]' || fail "not following the battery: $(cat "$work/counts")"
    read_counts
    p0=$presented
    sleep 2
    read_counts
    [ $((presented - p0)) -ge 2 ] && [ $((presented - p0)) -le 64 ] ||
      fail "$((presented - p0)) frames presented in 2 s on battery (at most 30 a second expected)"
    echo "on battery: $((presented - p0)) frames presented in 2 s"
    # Back on mains; --max-fps wins over the battery.
    echo mains >&7
    wait_counts 1 '[ "$battery" = 0 ] && [ "$rate" -eq 60 ]' || fail "not back on mains: $(cat "$work/counts")"
    # Mesa says on stderr that its option was overridden; nothing else may be there.
    ended_without_messages() {
      local started=$(now_ms)
      kill -TERM "$saver_pid"
      wait_exit 1 || fail "still running 1 s after SIGTERM"
      [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
      ! grep -v "option force_gl_renderer overridden" "$work/saver.err" || fail "messages on stderr"
      echo "ended $(($(now_ms) - started)) ms after SIGTERM"
    }
    ended_without_messages
    start_saver -window-id "$logo" --no-clock --max-fps 45
    echo battery >&7
    wait_counts 90 '[ "$presented" -ge 10 ] && [ "$battery" = 1 ]' || fail "no frames counted: $(cat "$work/counts")"
    [ "$rate" -eq 45 ] || fail "--max-fps 45 on battery draws at $rate"
    ended_without_messages
    exec 7>&-
    ;;

  desktop_files_are_valid)
    for f in "$build/share/applications/quiet-highland.desktop" \
             "$build/share/applications/screensavers/quiet-highland.desktop"; do
      [ -f "$f" ] || fail "missing $f"
      desktop-file-validate "$f" >"$work/validate.log" 2>&1 || fail "$f: $(cat "$work/validate.log")"
      ! grep -q "error" "$work/validate.log" || fail "$f: $(cat "$work/validate.log")"
    done
    grep -qx 'Exec=quiet-highland -root' "$build/share/applications/screensavers/quiet-highland.desktop" ||
      fail "the screensaver entry does not run -root"
    grep -qx 'Exec=quiet-highland /c' "$build/share/applications/quiet-highland.desktop" ||
      fail "the menu entry does not open the settings"
    xml=$build/share/xscreensaver/config/quiet-highland.xml
    xmllint --noout "$xml" || fail "the XScreenSaver entry does not parse"
    # Every argument the entry can add is one the program accepts.
    args=$(grep -o 'arg[a-z-]*="[^"]*"' "$xml" | sed 's/^[^"]*"//; s/"$//; s/%/7/')
    while read -r arg; do
      [ -n "$arg" ] || continue
      # shellcheck disable=SC2086
      "$saver" $arg --start-scene 1 --help >/dev/null 2>"$work/err" || fail "the program refuses \"$arg\": $(cat "$work/err")"
    done <<<"$args"
    link=$build/libexec/xscreensaver/quiet-highland
    [ -L "$link" ] && [ "$(readlink -f "$link")" = "$(readlink -f "$saver")" ] || fail "$link is no link to the program"
    "$link" --help >/dev/null || fail "the link does not run"
    icon=$build/share/icons/hicolor/128x128/apps/quiet-highland.png
    [ "$("$tool" pixel "$icon" 64 64 | wc -w)" -eq 3 ] || fail "the icon is no picture"
    # Installed at another prefix, the same files are there, and the link finds its data.
    prefix=$work/prefix
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "install: $(tail "$work/install.log")"
    for f in share/xscreensaver/config/quiet-highland.xml share/applications/quiet-highland.desktop \
             share/applications/screensavers/quiet-highland.desktop \
             share/icons/hicolor/128x128/apps/quiet-highland.png libexec/xscreensaver/quiet-highland; do
      [ -e "$prefix/$f" ] || fail "not installed: $f"
    done
    "$prefix/libexec/xscreensaver/quiet-highland" --start-scene 9 /s >/dev/null 2>"$work/err"
    grep -qE "from 1 to [1-8] \(the scenes installed\)" "$work/err" ||
      fail "the installed link did not find its scenes: $(cat "$work/err")"
    ;;

  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
