#!/usr/bin/env bash
# One integration case of the saver and the wallpaper on Wayland desktops: Debian's sway run
# headless as an unprivileged user (sway refuses root), two outputs of different sizes,
# screenshots with grim, keys with wtype, buttons and hot-plugging with swaymsg; weston as a
# compositor without the layer shell.
# usage: wayland_integration.sh CASE BUILD_DIR
# QH_KEEP_WORK=1 keeps the work folder (screenshots, logs) and prints the colours compared.
# BUILD_DIR holds bin/quiet-highland, bin/quiet-highland-render, bin/desktop_test_tool and
# bin/wayland_test_pointer.
set -u
case_name=$1
build=$2
saver=$build/bin/quiet-highland
render=$build/bin/quiet-highland-render
tool=$build/bin/desktop_test_tool
pointer=$build/bin/wayland_test_pointer

for program in sway swaymsg grim wtype weston weston-simple-egl; do
  command -v "$program" >/dev/null || { echo "FAIL ($case_name): $program is not installed" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-wayland.XXXXXX")
chmod 755 "$work"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  [ -n "${QH_KEEP_WORK:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*" >&2
  for log in saver.err compositor.log client.log; do
    if [ -s "$work/$log" ]; then sed "s/^/  $log: /" "$work/$log" | tail -30 >&2; fi
  done
  exit 1
}

source "$(dirname "${BASH_SOURCE[0]}")/saver_process.sh"

# Everything on the desktop runs as one unprivileged user with its own home and runtime folder.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  id qh-wayland >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin qh-wayland ||
    fail "can't create a user for the compositor"
  # setpriv replaces itself with the program, so $! is the program and `wait` gets its code.
  as_user=(setpriv --reuid=qh-wayland --regid=qh-wayland --clear-groups --)
fi
mkdir -p "$work/home" "$work/run" "$work/shots"
[ "$(id -u)" -eq 0 ] && chown qh-wayland "$work/home" "$work/run" "$work/shots"
chmod 700 "$work/run"
user_store=$work/home/.config/quiet-highland/registry.reg

# The desktop's own environment and nothing of the caller's.
desktop_env() {
  echo PATH=/usr/bin:/bin HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run" \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-system-bus" SDL_AUDIODRIVER=dummy LANG=C.UTF-8
}
# The session's sockets, once there are any: sway takes an empty SWAYSOCK for a path.
session_env() {
  [ -n "${WAYLAND_DISPLAY:-}" ] && echo "WAYLAND_DISPLAY=$WAYLAND_DISPLAY"
  [ -n "${SWAYSOCK:-}" ] && echo "SWAYSOCK=$SWAYSOCK"
  return 0
}
as_desktop() {
  # shellcheck disable=SC2046 # the paths hold no blanks (mktemp under TMPDIR)
  "${as_user[@]}" /usr/bin/env -i $(desktop_env) $(session_env) "$@"
}
# The same as a command line in $desktop, for programs started in the background: started
# through a function they would be a subshell's children, and $! (which the cleanup kills,
# and the cases stop and signal) would not be the program.
desktop_command() {
  # shellcheck disable=SC2207
  desktop=("${as_user[@]}" /usr/bin/env -i $(desktop_env) $(session_env))
}

# Starts sway with the configuration $1 and the environment after it, and waits until it
# answers on sockets of its own (a nested sway's parent has its sockets in the same folder).
launch_sway() {
  local config=$1 parent_display=${WAYLAND_DISPLAY:-} parent_sock=${SWAYSOCK:-} i
  shift
  desktop_command
  "${desktop[@]}" WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 "$@" sway -c "$config" >>"$work/compositor.log" 2>&1 &
  sway_pid=$!
  pids+=($sway_pid)
  for i in $(seq 100); do
    WAYLAND_DISPLAY=$(cd "$work/run" && ls wayland-? 2>/dev/null | grep -vxF "$parent_display" | head -1)
    SWAYSOCK=$(ls "$work"/run/sway-ipc.*.sock 2>/dev/null | grep -vxF "$parent_sock" | head -1)
    [ -n "$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ] && as_desktop swaymsg -t get_outputs >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  fail "sway did not start"
}

# Sway's outputs $1-1 1024x768 at 0,0, $1-2 1280x720 right of it, and $1-3 800x600 (made later).
sway_config() {
  cat >"$work/$2" <<EOF
output $1-1 resolution 1024x768 position 0 0
output $1-2 resolution 1280x720 position 1024 0
output $1-3 resolution 800x600 position 2304 0
EOF
  chmod 644 "$work/$2"
}

# Headless sway with $1 outputs (2 unless given): HEADLESS-1 and HEADLESS-2.
start_sway() {
  sway_config HEADLESS sway.conf
  WAYLAND_DISPLAY='' SWAYSOCK=''
  launch_sway "$work/sway.conf" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS="${1:-2}"
}

# Sway with two outputs, WL-1 and WL-2, that are floating windows of a headless sway
# ($parent_sock): closing such a window unplugs its output, as pulling a monitor's cable
# does. wlroots 0.15 can't switch off a headless or a nested output (`swaymsg output ...
# disable` fails on both), so this is the way an output goes away here.
start_nested_sway() {
  cat >"$work/parent.conf" <<'EOF'
output HEADLESS-1 resolution 2600x900 position 0 0
for_window [app_id="wlroots"] floating enable
EOF
  chmod 644 "$work/parent.conf"
  WAYLAND_DISPLAY='' SWAYSOCK=''
  launch_sway "$work/parent.conf" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1
  parent_sock=$SWAYSOCK
  sway_config WL sway.conf
  launch_sway "$work/sway.conf" WLR_BACKENDS=wayland WLR_WL_OUTPUTS=2
}

# Weston, a compositor without the layer shell, full screen on a one-output sway (--sprawl):
# weston's headless backend has no seat, and SDL 2.26 crashes in SDL_Init without one
# (libsdl-org/SDL#8898); nested, weston takes sway's seat. Clients then talk to weston
# ($WAYLAND_DISPLAY), and screenshots of sway's output ($sway_display) show weston's.
start_weston() {
  start_sway 1
  sway_display=$WAYLAND_DISPLAY
  desktop_command
  "${desktop[@]}" weston --backend=wayland-backend.so --sprawl --use-pixman --idle-time=0 --socket=weston-0 \
    >"$work/weston.log" 2>&1 &
  pids+=($!)
  local i
  for i in $(seq 100); do
    [ -S "$work/run/weston-0" ] && as_desktop swaymsg -t get_tree | grep -q '"fullscreen_mode": 1' &&
      WAYLAND_DISPLAY=weston-0 && return 0
    sleep 0.1
  done
  cat "$work/weston.log" >>"$work/compositor.log"
  fail "weston did not start full screen in sway"
}

# Started without a function or subshell in between, so $saver_pid is the program itself.
start_saver() {
  desktop_command
  "${desktop[@]}" "$saver" "$@" >"$work/saver.log" 2>"$work/saver.err" &
  saver_pid=$!
  pids+=($saver_pid)
}

shot() { as_desktop grim -o "$1" "$work/shots/$1.png" 2>>"$work/compositor.log" && cp "$work/shots/$1.png" "$work/$1.png"; }

frame_pixel() {
  [ -f "$work/frame.png" ] ||
    /usr/bin/env -i $(desktop_env) XDG_CONFIG_HOME="$work/frame-config" "$render" --frames 1 --time 12:00:00 --png "$work/frame.png" \
      >/dev/null 2>&1 || fail "the capture tool could not draw the frame"
  "$tool" pixel "$work/frame.png" "$1" "$2"
}

# Whether output $1 (W $2 x H $3) shows the capture tool's sky along the picture's top,
# the picture scaled to cover ("fill") or letterboxed ("fit") as $4 says.
shows_sky() {
  local output=$1 w=$2 h=$3 fit=$4 scale_num scale_den left top px py=40 x y matched=0
  shot "$output" || return 1
  # The picture's place: 800x600 scaled by scale_num/scale_den, centred.
  if { [ "$fit" = fill ] && [ $((w * 600)) -gt $((h * 800)) ]; } ||
     { [ "$fit" = fit ] && [ $((w * 600)) -le $((h * 800)) ]; }; then
    scale_num=$w scale_den=800
  else
    scale_num=$h scale_den=600
  fi
  left=$(((w - 800 * scale_num / scale_den) / 2))
  top=$(((h - 600 * scale_num / scale_den) / 2))
  [ "$fit" = fill ] && py=$((12 - top * scale_den / scale_num + 4))
  for px in 60 260 470 610 760; do
    x=$((left + px * scale_num / scale_den))
    y=$((top + py * scale_num / scale_den))
    [ -n "${QH_KEEP_WORK:-}" ] && echo "$output $x,$y: $("$tool" pixel "$work/$output.png" "$x" "$y") vs $px,$py: $(frame_pixel "$px" "$py")" >&2
    near "$("$tool" pixel "$work/$output.png" "$x" "$y")" "$(frame_pixel "$px" "$py")" 40 && matched=$((matched + 1))
  done
  [ "$matched" -ge 3 ]
}

# Waits up to $1 seconds until every output named after it shows the sky ($2: fit or fill).
wait_for_sky_on() {
  local deadline=$(($(now_ms) + $1 * 1000)) fit=$2 all spec fields
  local specs=("${@:3}")
  while [ "$(now_ms)" -lt "$deadline" ]; do
    all=1
    for spec in "${specs[@]}"; do
      read -ra fields <<<"$(tr ':x' '  ' <<<"$spec")"
      shows_sky "${fields[0]}" "${fields[1]}" "${fields[2]}" "$fit" || all=0
    done
    [ "$all" -eq 1 ] && return 0
    alive || fail "the saver ended before drawing"
    sleep 0.3
  done
  return 1
}

# The process's CPU time (user + system) in milliseconds.
cpu_ms() {
  local fields
  read -ra fields <"/proc/$1/stat"
  echo $(((fields[13] + fields[14]) * 1000 / $(getconf CLK_TCK)))
}

# Milliseconds of CPU the saver uses over the next $1 seconds.
saver_cpu_over() {
  local before
  before=$(cpu_ms "$saver_pid")
  sleep "$1"
  echo $(($(cpu_ms "$saver_pid") - before))
}

# While nothing of the wallpaper is seen ($1 says why) it only ticks: under 3 % of a core
# over 10 s. The rest of the arguments show it again; it then draws within 0.5 s.
rests_then_draws_again() {
  local why=$1 used drew
  shift
  used=$(saver_cpu_over 10)
  echo "$why: ${used} ms of CPU in 10 s"
  "$@"
  [ "$used" -lt 300 ] || fail "the $why wallpaper used ${used} ms of CPU in 10 s (3 % is 300 ms)"
  alive || fail "the wallpaper ended while $why"
  drew=$(saver_cpu_over 0.5)
  echo "seen again: ${drew} ms of CPU in the first 0.5 s"
  [ "$drew" -ge 20 ] || fail "the wallpaper did not draw within 0.5 s of being seen again (${drew} ms of CPU)"
}

# Another program's window, full screen on the focused output. weston-simple-egl keeps
# drawing on its own frame callbacks (a window that is seen); toytoolkit's clients take the
# full screen back.
window_program=(weston-simple-egl -f)
full_screen_window() {
  desktop_command
  "${desktop[@]}" "${window_program[@]}" >"$work/client.log" 2>&1 &
  pids+=($!)
  local i
  for i in $(seq 100); do
    as_desktop swaymsg '[app_id=".*"] fullscreen enable' >/dev/null 2>&1
    as_desktop swaymsg -t get_tree | grep -q '"fullscreen_mode": 1' && return 0
    sleep 0.2
  done
  fail "no window went full screen"
}

key() { as_desktop wtype -s 1500 -k "$1" 2>>"$work/client.log"; }

expect_end_within() {
  local started=$(now_ms)
  wait_exit "$1" || fail "still running $1 s after $2"
  echo "ended $(($(now_ms) - started)) ms after $2 (exit code $rc)"
}

case "$case_name" in
  wallpaper_on_two_outputs)
    start_sway
    start_saver --wallpaper
    wait_for_sky_on 30 fill HEADLESS-1:1024x768 HEADLESS-2:1280x720 ||
      fail "the outputs do not show the scene's sky, scaled to cover"
    key Escape
    sleep 1
    alive || fail "a key ended the wallpaper"
    kill -TERM "$saver_pid"
    expect_end_within 1 SIGTERM
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    ;;

  saver_over_a_full_screen_window)
    start_sway
    full_screen_window
    [ ! -f "$user_store" ] || fail "a settings file exists before the run"
    # The seat's pointer, which sway's cursor commands drive.
    desktop_command
    "${desktop[@]}" "$pointer" >"$work/pointer.log" 2>>"$work/client.log" &
    pids+=($!)
    for i in $(seq 50); do grep -q ready "$work/pointer.log" && break; sleep 0.1; done
    grep -q ready "$work/pointer.log" || fail "no virtual pointer"
    start_saver /s
    wait_for_sky_on 30 fit HEADLESS-1:1024x768 HEADLESS-2:1280x720 ||
      fail "the saver does not show the scene over the full-screen window on both outputs"
    as_desktop swaymsg -- seat - cursor move 300 200 >/dev/null
    as_desktop swaymsg -- seat - cursor move -200 100 >/dev/null
    sleep 1
    alive || fail "pointer motion ended the saver"
    key Escape
    expect_end_within 1 "a key press"
    [ "$rc" -eq 0 ] || fail "exit code $rc after a key press"
    grep -q '"settings"=hex:' "$user_store" 2>/dev/null || fail "the settings were not written on the way out"
    start_saver /s
    wait_for_sky_on 30 fit HEADLESS-1:1024x768 || fail "the second saver shows no scene"
    as_desktop swaymsg seat - cursor press button1 >/dev/null
    expect_end_within 1 "a button press"
    [ "$rc" -eq 0 ] || fail "exit code $rc after a button press"
    ;;

  outputs_come_and_go)
    start_nested_sway
    start_saver --wallpaper
    wait_for_sky_on 30 fill WL-1:1024x768 || fail "no picture before the hot-plug"
    as_desktop swaymsg create_output >/dev/null || fail "swaymsg create_output failed"
    # One screenshot taken a second after the output came (comparing takes longer than that).
    sleep 1
    shows_sky WL-3 800 600 fill || fail "the new output shows no picture a second after it came"
    SWAYSOCK=$parent_sock as_desktop swaymsg '[title="wlroots - WL-2"] kill' >/dev/null ||
      fail "the window of output WL-2 could not be closed"
    sleep 2
    as_desktop swaymsg -t get_outputs | grep -q '"WL-2"' && fail "output WL-2 is still there"
    alive || fail "the run ended when an output went away"
    wait_for_sky_on 5 fill WL-1:1024x768 WL-3:800x600 || fail "the outputs left show no picture"
    kill -TERM "$saver_pid"
    expect_end_within 1 SIGTERM
    ;;

  # A full-screen window over the wallpaper's one output: the compositor stops its frame
  # callbacks, and the wallpaper then only ticks. One output only: sway 1.7's headless
  # outputs can't be switched off (wlroots 0.15 refuses the commit), and a second output
  # left uncovered would rightly go on drawing.
  covered_wallpaper_rests)
    start_sway 1
    start_saver --wallpaper
    wait_for_sky_on 30 fill HEADLESS-1:1024x768 || fail "no wallpaper"
    full_screen_window
    sleep 1
    shot HEADLESS-1  # kept for a look (QH_KEEP_WORK=1)
    rests_then_draws_again covered as_desktop swaymsg kill  # the window goes
    wait_for_sky_on 5 fill HEADLESS-1:1024x768 || fail "the wallpaper shows no picture once seen again"
    kill -TERM "$saver_pid"
    expect_end_within 1 SIGTERM
    ;;

  # No frame callbacks at all (the compositor stopped): after half a second the wallpaper
  # only ticks, two frames a second without drawing; callbacks again, and it draws at once.
  unseen_wallpaper_ticks)
    start_sway
    start_saver --wallpaper
    wait_for_sky_on 30 fill HEADLESS-1:1024x768 HEADLESS-2:1280x720 || fail "no wallpaper"
    kill -STOP "$sway_pid"
    sleep 1
    rests_then_draws_again unseen kill -CONT "$sway_pid"
    wait_for_sky_on 30 fill HEADLESS-1:1024x768 || fail "the wallpaper shows no picture once asked again"
    kill -TERM "$saver_pid"
    expect_end_within 1 SIGTERM
    ;;

  no_layer_shell_wallpaper)
    start_weston
    start_saver --wallpaper
    expect_end_within 10 "the start without a layer shell"
    [ "$rc" -eq 1 ] || fail "exit code $rc without a wallpaper layer"
    grep -qF "this desktop offers no wallpaper layer (wlr-layer-shell); the wallpaper needs sway, Hyprland, KDE Plasma or another compositor that has it" \
      "$work/saver.err" || fail "the message is not the wallpaper's: $(cat "$work/saver.err")"
    ;;

  no_layer_shell_saver_falls_back)
    start_weston
    start_saver /s
    for i in $(seq 150); do
      grep -q 'no overlay layer' "$work/saver.err" && break
      sleep 0.1
    done
    [ "$(head -1 "$work/saver.err")" = "Quiet Highland: this desktop offers no overlay layer (wlr-layer-shell); the saver covers one output in a full-screen window instead." ] ||
      fail "the fallback was not announced in one line: $(cat "$work/saver.err")"
    # 1024x768 is 4:3: the letterboxed picture fills weston's output, and sway's under it.
    WAYLAND_DISPLAY=$sway_display wait_for_sky_on 30 fit HEADLESS-1:1024x768 ||
      fail "the full-screen window shows no scene"
    kill -TERM "$saver_pid"
    expect_end_within 2 SIGTERM
    [ "$rc" -eq 0 ] || fail "exit code $rc after SIGTERM"
    ;;

  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
