#!/usr/bin/env bash
# One integration case of the saver under its own Xvfb with openbox, driven by xdotool.
# usage: host_integration.sh CASE SAVER HOST_TEST_WINDOW
set -u
case_name=$1
saver=$2
helper=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/qh-host.XXXXXX")
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($case_name): $*" >&2
  if [ -n "${saver_pid:-}" ]; then
    if kill -0 "$saver_pid" 2>/dev/null; then
      echo "  the saver is still running" >&2
    else
      wait "$saver_pid"
      echo "  the saver had ended with exit code $?" >&2
    fi
  fi
  if [ -s "$work/saver.log" ]; then sed 's/^/  saver: /' "$work/saver.log" >&2; fi
  if [ -s "$work/openbox.log" ]; then sed 's/^/  openbox: /' "$work/openbox.log" >&2; fi
  if [ -s "$work/xvfb.log" ]; then sed 's/^/  Xvfb: /' "$work/xvfb.log" >&2; fi
  exit 1
}

# No test may see the machine's own settings or desktop.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_CONFIG_DIRS=$work/xdg
# A runtime folder of its own, so the sound lock of one case never silences another.
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset WAYLAND_DISPLAY DISPLAY
# GTK without a desktop session: no settings service, no accessibility bus.
export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
user_store=$XDG_CONFIG_HOME/quiet-highland/registry.reg
key='[HKEY_LOCAL_MACHINE\software\quorvale\screensavers\Quiet Highland]'

source "$(dirname "${BASH_SOURCE[0]}")/saver_process.sh"

start_x() {
  start_xvfb 1024x768
  start_openbox "$helper"
}

# A user store that points the installation at $1.
use_installation() {
  mkdir -p "$(dirname "$user_store")"
  printf 'REGEDIT4\n\n%s\n"dir"="%s"\n' "$key" "$1" >"$user_store"
}

start_saver() {
  "$saver" "$@" >"$work/saver.log" 2>&1 &
  saver_pid=$!
  pids+=($saver_pid)
}

# The saver's window, once mapped and holding the keyboard focus.
wait_saver_focused() {
  # Polled: a search can fail outright when windows come and go during it.
  local deadline=$(($(now_ms) + 30000))
  wid=""
  while [ -z "$wid" ] && [ "$(now_ms)" -lt "$deadline" ]; do
    wid=$(xdotool search --onlyvisible --name '^quiet-highland$' 2>/dev/null | head -1)
    [ -n "$wid" ] || sleep 0.1
  done
  [ -n "$wid" ] || fail "no saver window appeared"
  local i
  for i in $(seq 100); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] && { sleep 0.5; return 0; }
    sleep 0.1
  done
  fail "the saver window never got the focus"
}

# A window of another program: $host_id, kept until $host_pid is killed.
make_host_window() {
  "$helper" create "$1" "$2" >"$work/host.id" 2>"$work/host.log" &
  host_pid=$!
  pids+=($host_pid)
  local i
  for i in $(seq 300); do
    host_id=$(head -1 "$work/host.id" 2>/dev/null)
    [ -n "$host_id" ] && return 0
    sleep 0.1
  done
  fail "the test window did not appear: $(cat "$work/host.log"; kill -0 "$host_pid" 2>/dev/null && echo "(still waiting)")"
}

expect_ended_cleanly() {
  wait_exit "$1" || fail "still running $1 s after $2"
  [ "$rc" -eq 0 ] || fail "exit code $rc after $2 (0 expected)"
}


# The settings dialog's window, once mapped and holding the keyboard focus.
wait_dialog_focused() {
  local deadline=$(($(now_ms) + 30000))
  wid=""
  while [ -z "$wid" ] && [ "$(now_ms)" -lt "$deadline" ]; do
    wid=$(xdotool search --onlyvisible --name ' - Параметры$' 2>/dev/null | head -1)
    [ -n "$wid" ] || sleep 0.1
  done
  [ -n "$wid" ] || fail "no settings dialog appeared"
  local i
  for i in $(seq 100); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$wid" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "the settings dialog never got the focus"
}

# Keys as a user types them, to whichever window has the focus.
type_keys() { xdotool key --delay 80 "$@"; }

# quiet-highland-render's picture of the first frame with the clock at the time $1.
capture_at() {
  "$QH_CAPTURE_TOOL" --frames 1 --time "$1" --png "$2" >>"$work/capture.log" 2>&1 ||
    fail "the capture tool failed: $(cat "$work/capture.log")"
}

expect_no_x_errors() {
  if grep -qiE 'X Window System error|BadWindow|BadMatch|Gdk-(WARNING|CRITICAL)' "$work/saver.log"; then
    fail "X errors or warnings: $(cat "$work/saver.log")"
  fi
}

case "$case_name" in
  saver_stays_running)
    start_x
    start_saver /s
    wait_saver_focused
    sleep 3
    alive || fail "ended on its own"
    kill -TERM "$saver_pid"
    expect_ended_cleanly 2 "SIGTERM"
    ;;

  saver_ignores_mouse_motion)
    start_x
    start_saver /s
    wait_saver_focused
    xdotool mousemove 100 100 sleep 0.2 mousemove 600 400 sleep 0.2 mousemove_relative 15 15
    sleep 1
    alive || fail "moving the mouse ended it"
    xdotool key space
    expect_ended_cleanly 2 "a key press"
    ;;

  saver_key_ends_it)
    start_x
    start_saver /s
    wait_saver_focused
    alive || fail "ended before the key"
    xdotool key a
    expect_ended_cleanly 2 "a key press"
    ;;

  saver_click_ends_it)
    start_x
    start_saver /s
    wait_saver_focused
    xdotool mousemove --sync 200 200
    sleep 0.3
    xdotool click 1
    # The window manager sees the press first and passes it on: allow for a loaded machine.
    expect_ended_cleanly 10 "a mouse click"
    ;;

  saver_focus_loss_ends_it)
    start_x
    make_host_window 300 200
    start_saver /s
    wait_saver_focused
    alive || fail "ended before the focus moved"
    xdotool windowactivate "$host_id"
    expect_ended_cleanly 10 "the focus moved to another window"
    ;;

  saver_sigterm_ends_it)
    start_x
    start_saver /s
    wait_saver_focused
    kill -TERM "$saver_pid"
    expect_ended_cleanly 2 "SIGTERM"
    [ -f "$user_store" ] || fail "the settings were not saved on SIGTERM"
    ;;

  saver_writes_default_settings)
    start_x
    [ ! -e "$user_store" ] || fail "a user store exists before the run"
    start_saver /s
    wait_saver_focused
    xdotool key Escape
    expect_ended_cleanly 2 "a key press"
    [ -f "$user_store" ] || fail "no user store written"
    # delay 0, volume 80, day cycle 0, clock 1, reserved 0, scene 0, music 1, nature 1, reserved 0
    expected='"settings"=hex:00,00,00,00,50,00,00,00,00,01,00,00,00,00,00,00,01,01,00,00'
    grep -qxF "$expected" "$user_store" || fail "the settings value is not the defaults: $(cat "$user_store")"
    [ "$(grep -ci '^"settings"=' "$user_store")" -eq 1 ] || fail "more than one settings value"
    grep -qxF "$key" "$user_store" || fail "the key is missing: $(cat "$user_store")"
    ;;

  saver_plays_sound)
    # SDL's disk driver writes what the device would play into a file, in real time.
    export SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=$work/sound.raw
    start_x
    start_saver /s
    wait_saver_focused
    sleep 2
    alive || fail "ended on its own"
    xdotool key Escape
    expect_ended_cleanly 2 "a key press"
    [ -s "$work/sound.raw" ] || fail "nothing was written to the sound device"
    # Two seconds of music and birdsong: far from silence (16-bit stereo, 176400 bytes a second).
    size=$(stat -c %s "$work/sound.raw")
    [ "$size" -gt 176400 ] || fail "only $size bytes of sound in about two seconds"
    loud=$(tr -d '\000' <"$work/sound.raw" | wc -c)
    [ "$loud" -gt $((size / 4)) ] || fail "the sound written is (nearly) silence: $loud non-zero bytes of $size"
    ;;

  two_savers_one_sound)
    # A daemon starts one saver per monitor: only the holder of the per-user sound lock
    # opens the sound device, so exactly one of two savers writes sound.
    export SDL_AUDIODRIVER=disk
    start_x
    make_host_window 320 240
    SDL_DISKAUDIOFILE=$work/first.raw start_saver -window-id "$host_id"
    first_pid=$saver_pid
    SDL_DISKAUDIOFILE=$work/second.raw start_saver -window-id "$host_id"
    second_pid=$saver_pid
    sleep 4
    kill -0 "$first_pid" 2>/dev/null || fail "the first saver ended on its own"
    kill -0 "$second_pid" 2>/dev/null || fail "the second saver ended on its own"
    kill -TERM "$first_pid" "$second_pid"
    wait_exit 5 || fail "the second saver is still running after SIGTERM"
    saver_pid=$first_pid
    wait_exit 5 || fail "the first saver is still running after SIGTERM"
    written=0
    for f in "$work/first.raw" "$work/second.raw"; do
      [ -s "$f" ] && written=$((written + 1))
    done
    [ "$written" -eq 1 ] || fail "$written of the two savers wrote sound (exactly one expected)"
    ;;

  saver_runs_without_sound)
    # No audio driver SDL can use: the saver runs silently and ends as always.
    export SDL_AUDIODRIVER=no-such-driver
    start_x
    start_saver /s
    wait_saver_focused
    sleep 1
    alive || fail "ended without a sound device"
    xdotool key a
    expect_ended_cleanly 2 "a key press"
    grep -q "runs silently" "$work/saver.log" || fail "no word about the missing sound"
    ;;

  saver_refused_sound_files)
    # Sound files are read like the data files: a FIFO, a folder, a link to an endless
    # device and a file over the 256 MiB bound in place of the music (each kind) or of the
    # nature sounds are refused at once, each said once on stderr, and the saver starts as
    # quickly as with good files, plays nothing in their place and ends on SIGTERM in 1 s.
    export SDL_AUDIODRIVER=disk
    share=$(cd "$(dirname "$saver")/../share/quiet-highland" && pwd)
    start_x
    # One run: $1 the music's name, $2 the settings' music and nature switches (hex bytes
    # 16 and 17), $3 the damage, then the files it replaces. Sets $started_ms.
    sound_run() {
      local music=$1 switches=$2 kind=$3 f
      shift 3
      rm -rf "$work/install" "$XDG_CONFIG_HOME"
      mkdir -p "$work/install/Data/Sounds"
      for f in "$share"/Data/*; do [ "$(basename "$f")" = Sounds ] || ln -s "$f" "$work/install/Data/"; done
      for f in "$share"/Data/Sounds/*; do ln -s "$f" "$work/install/Data/Sounds/"; done
      ln -s "$share/links.txt" "$work/install/links.txt"
      for f in "$@"; do
        rm -f "$work/install/Data/$f"
        case "$kind" in
          fifo) mkfifo "$work/install/Data/$f" ;;
          folder) mkdir "$work/install/Data/$f" ;;
          endless) ln -s /dev/zero "$work/install/Data/$f" ;;
          oversize) truncate -s 257M "$work/install/Data/$f" ;;
          good) ln -s "$share/Data/$music" "$work/install/Data/$f" ;;
        esac
      done
      use_installation "$work/install"
      printf '"musicname"="%s"\n"settings"=hex:00,00,00,00,50,00,00,00,00,01,00,00,00,00,00,00,%s,00,00\n' \
        "$music" "$switches" >>"$user_store"
      rm -f "$work/sound.raw"
      local launched
      launched=$(now_ms)
      SDL_DISKAUDIOFILE=$work/sound.raw start_saver /s
      wait_saver_focused
      started_ms=$(($(now_ms) - launched))
      sleep 1
      alive || fail "$kind in place of $*: ended on its own"
      kill -TERM "$saver_pid"
      wait_exit 1 || fail "$kind in place of $*: still running 1 s after SIGTERM"
      [ "$rc" -eq 0 ] || fail "$kind in place of $*: exit code $rc"
    }
    loud_bytes() { tr -d '\000' <"$work/sound.raw" | wc -c; }
    samples=(Sounds/birds1.ogg Sounds/birds2.ogg Sounds/birds3.ogg Sounds/brook.ogg Sounds/waterfall.ogg)
    baseline=0
    for kind in fifo folder endless oversize; do
      # The time a good installation takes to start here, now (the slowest so far: the
      # machine's load changes from minute to minute).
      sound_run music.ogg 01,00 good music.ogg
      [ "$started_ms" -gt "$baseline" ] && baseline=$started_ms
      [ "$(loud_bytes)" -gt 0 ] || fail "the good installation played nothing"
      echo "a good installation starts in $started_ms ms"
      for music in music.ogg music.mp3 music.xm samples; do
        if [ "$music" = samples ]; then
          sound_run music.ogg 00,01 "$kind" "${samples[@]}"
          refused=("${samples[@]}")
        else
          sound_run "$music" 01,00 "$kind" "$music"
          refused=("$music")
        fi
        echo "$kind in place of $music: started in $started_ms ms"
        [ "$started_ms" -le $((baseline + 1000)) ] ||
          fail "$kind in place of $music: started in $started_ms ms, $baseline ms with good files"
        for f in "${refused[@]}"; do
          said=$(grep -c "the sound \"[^\"]*$f\" is left out" "$work/saver.log")
          [ "$said" -eq 1 ] || fail "$kind in place of $f: said $said times (once expected): $(cat "$work/saver.log")"
        done
        [ -s "$work/sound.raw" ] || fail "$kind in place of $music: the sound device was not used"
        [ "$(loud_bytes)" -eq 0 ] || fail "$kind in place of $music: sound was played"
      done
    done
    ;;

  saver_sound_survives_its_server)
    # A real sound server: Debian's pulseaudio with a null sink, run as a user of its own
    # (it refuses root), recorded from the sink's monitor. Killed in the middle of the run,
    # the saver draws on with no frame longer than 100 ms; started again, the sound is back
    # within 2 s.
    start_x
    pulse_user=()
    chmod 711 "$work"
    mkdir -p "$work/pulse/home" "$work/pulse/run"
    if [ "$(id -u)" -eq 0 ]; then
      id qh-pulse >/dev/null 2>&1 ||
        useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin qh-pulse ||
        fail "can't create a user for the sound server"
      chown -R qh-pulse "$work/pulse"
      # setpriv runs the server itself (no process in between), so its id is the server's.
      pulse_user=(setpriv --reuid="$(id -u qh-pulse)" --regid="$(id -g qh-pulse)" --clear-groups)
    fi
    chmod 700 "$work/pulse/run"
    sock=$work/pulse/run/native
    start_pulse() {
      "${pulse_user[@]}" env -i HOME="$work/pulse/home" XDG_RUNTIME_DIR="$work/pulse/run" PATH=/usr/bin:/bin \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --disable-shm=yes --use-pid-file=no --log-target=stderr \
        -L "module-null-sink sink_name=qhsink rate=44100 channels=2" \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$sock" >>"$work/pulse.log" 2>&1 &
      pulse_pid=$!
      pids+=($pulse_pid)
      local i
      for i in $(seq 100); do pactl --server="unix:$sock" info >/dev/null 2>&1 && return 0; sleep 0.1; done
      fail "the sound server did not start: $(cat "$work/pulse.log")"
    }
    # $2 seconds of the sink's monitor into $1.
    record() {
      timeout "$2" parec --server="unix:$sock" -d qhsink.monitor --format=s16le --rate=44100 --channels=2 --raw \
        >"$1" 2>>"$work/parec.log"
    }
    first_sound_ms() {
      local at
      at=$(LC_ALL=C grep -obUaP '[^\x00]' "$1" | head -1 | cut -d: -f1)
      [ -n "$at" ] && echo $((at * 1000 / 176400))
    }
    start_pulse
    export SDL_AUDIODRIVER=pulseaudio PULSE_SERVER=unix:$sock QH_FRAME_TIMES=$work/frames
    start_saver /s
    wait_saver_focused
    record "$work/before.raw" 2
    [ -n "$(first_sound_ms "$work/before.raw")" ] || fail "no sound reached the sound server"
    mark=$(wc -l <"$work/frames")
    kill -KILL "$pulse_pid"
    wait "$pulse_pid" 2>/dev/null
    sleep 2
    alive || fail "the saver ended when its sound server went away"
    start_pulse
    record "$work/after.raw" 3
    back=$(first_sound_ms "$work/after.raw")
    [ -n "$back" ] || fail "no sound 3 s after the server came back: $(cat "$work/saver.log")"
    echo "sound back ${back} ms after the server's restart"
    [ "$back" -le 2000 ] || fail "the sound came back ${back} ms after the server (2000 ms at most)"
    alive || fail "the saver ended after its sound server came back"
    kill -TERM "$saver_pid"
    expect_ended_cleanly 2 "SIGTERM"
    drawn=$(tail -n +"$((mark + 1))" "$work/frames" | wc -l)
    longest=$(tail -n +"$((mark + 1))" "$work/frames" | sort -n | tail -1)
    echo "$drawn frames from the kill to the end, the longest $longest ms;" \
      "before the kill the longest $(head -n "$mark" "$work/frames" | tail -n +30 | sort -n | tail -1) ms"
    echo "the slowest after the kill (frame: ms): $(tail -n +"$((mark + 1))" "$work/frames" | awk '{print NR ": " $1}' |
      sort -t: -k2 -n | tail -5 | tr '\n' ' ')"
    [ "$drawn" -ge 50 ] || fail "only $drawn frames drawn from the kill to the end"
    # QH_MAX_FRAME_MS: a machine too loaded to draw any run within 100 ms a frame.
    limit=${QH_MAX_FRAME_MS:-100}
    awk -v l="$longest" -v m="$limit" 'BEGIN { exit !(l <= m) }' || fail "a frame took $longest ms ($limit ms at most)"
    ;;

  saver_without_a_card_says_one_line)
    # SDL's own choice of driver on a machine without a card or a sound server: ALSA is
    # tried, and only our line about the silence reaches stderr, none of ALSA's own.
    unset SDL_AUDIODRIVER
    export PULSE_SERVER=unix:$work/no-sound-server
    start_x
    start_saver /s
    wait_saver_focused
    xdotool key a
    expect_ended_cleanly 2 "a key press"
    grep -q "runs silently" "$work/saver.log" || fail "no word about the missing sound"
    ! grep -q '^ALSA lib' "$work/saver.log" || fail "ALSA's own lines on stderr: $(grep '^ALSA lib' "$work/saver.log" | head -3)"
    ;;

  preview_stays_until_host_window_destroyed)
    start_x
    install=$work/install
    mkdir -p "$install/Data"
    printf 'link1=file:///nowhere\r\n' >"$install/links.txt"
    "$helper" bmp "$install/Data/preview.bmp" 40 30 200 30 40 || fail "can't write the test picture"
    use_installation "$install"
    make_host_window 200 150
    start_saver /p "$host_id"
    sleep 1
    alive || fail "the preview ended on its own"
    colour=""
    for i in $(seq 30); do
      colour=$("$helper" pixel "$host_id" 5 5)
      [ "$colour" = "200 30 40" ] && break
      sleep 0.1
    done
    [ "$colour" = "200 30 40" ] || fail "the preview picture is not drawn (pixel 5,5 is $colour)"
    outside=$("$helper" pixel "$host_id" 100 100)
    [ "$outside" = "0 0 0" ] || fail "outside the picture the window is $outside"
    # Keys and clicks, sent to the window and with the window focused, change nothing.
    xdotool key --window "$host_id" a
    xdotool windowactivate --sync "$host_id" key b click 1 mousemove 50 50 click 3
    sleep 1
    alive || fail "a key or click ended the preview"
    kill "$host_pid"
    expect_ended_cleanly 2 "the host window was destroyed"
    [ -f "$user_store" ] && grep -q '^"settings"=hex:' "$user_store" || fail "the settings were not saved"
    ;;

  preview_bad_window_id)
    start_x
    start_saver /p 12345
    wait_exit 5 || fail "still running with a window id that does not exist"
    [ "$rc" -eq 1 ] || fail "exit code $rc (1 expected)"
    grep -q "no window 12345" "$work/saver.log" || fail "no message about the missing window"
    ;;

  negative_window_numbers_refused)
    start_x
    start_saver /p -1
    wait_exit 5 || fail "still running with the window number -1"
    [ "$rc" -eq 1 ] || fail "exit code $rc for /p -1 (1 expected)"
    grep -q -- "-1 is not a window number" "$work/saver.log" || fail "no message about /p -1"
    start_saver /c:-1
    for i in $(seq 100); do grep -q "is not a window number" "$work/saver.log" && break; sleep 0.1; done
    grep -q -- "-1 is not a window number.*opens on its own" "$work/saver.log" || fail "no message about /c:-1"
    kill -TERM "$saver_pid"
    wait_exit 2 || fail "the dialog outlived SIGTERM"
    ;;

  configure_missing_links_txt)
    mkdir -p "$work/empty-install"
    use_installation "$work/empty-install"
    start_saver /c
    wait_exit 5 || fail "still running"
    [ "$rc" -eq 1 ] || fail "exit code $rc (1 expected)"
    grep -qF "Can't load links.txt..." "$work/saver.log" || fail "no loading message"
    grep -qF "Program will now stop." "$work/saver.log" || fail "no loading message"
    ;;

  dialog_keyboard_ok_changes_the_next_run)
    start_x
    # Before: the defaults, clock on, so the time of day shows in the picture.
    capture_at 10:00:00 "$work/before1.png"
    capture_at 13:37:00 "$work/before2.png"
    cmp -s "$work/before1.png" "$work/before2.png" && fail "with the clock on, two times of day give the same picture"
    rm -f "$user_store"
    start_saver /c
    wait_dialog_focused
    # OK has the focus; four Tabs reach the volume slider (Cancel, the link, the delay list).
    type_keys Tab Tab Tab Tab Right Right Right Tab Tab space Return
    expect_ended_cleanly 10 "Return"
    # delay 0, volume 83, day cycle 0, clock 0, reserved 0, scene 0, music 1, nature 1, reserved 0
    expected='"settings"=hex:00,00,00,00,53,00,00,00,00,00,00,00,00,00,00,00,01,01,00,00'
    grep -qxF "$expected" "$user_store" || fail "the stored settings are not the ones typed: $(cat "$user_store" 2>&1)"
    [ "$(grep -ci '^"settings"=' "$user_store")" -eq 1 ] || fail "more than one settings value"
    capture_at 10:00:00 "$work/after1.png"
    capture_at 13:37:00 "$work/after2.png"
    cmp -s "$work/after1.png" "$work/after2.png" || fail "with the clock switched off the picture still shows the time"
    cmp -s "$work/before1.png" "$work/after1.png" && fail "switching the clock off changed nothing"
    expect_no_x_errors
    ;;

  dialog_escape_writes_nothing)
    start_x
    start_saver /c
    wait_dialog_focused
    type_keys Tab Tab Tab Tab Right Right Tab Tab space Escape
    expect_ended_cleanly 10 "Escape"
    [ ! -e "$user_store" ] || fail "Escape wrote the settings: $(cat "$user_store")"
    ;;

  dialog_close_box_without_switch)
    start_x
    start_saver
    wait_dialog_focused
    type_keys Tab space
    # The window manager's close (openbox: Alt+F4) is the dialog's close box.
    type_keys alt+F4
    expect_ended_cleanly 10 "the close box"
    [ ! -e "$user_store" ] || fail "the close box wrote the settings: $(cat "$user_store")"
    ;;

  dialog_picture_opens_link)
    start_x
    # A browser of our own for HTML pages, in private data and config folders: it writes
    # down the address it was given.
    export XDG_DATA_HOME=$work/data
    mkdir -p "$XDG_DATA_HOME/applications" "$XDG_CONFIG_HOME"
    printf '#!/bin/sh\nprintf "%%s\\n" "$1" > "%s/part.$$"\nmv "%s/part.$$" "%s/opened"\n' "$work" "$work" "$work" \
      >"$work/browser.sh"
    chmod +x "$work/browser.sh"
    printf '[Desktop Entry]\nType=Application\nName=Test browser\nNoDisplay=true\nExec=%s %%u\nMimeType=text/html;\n' \
      "$work/browser.sh" >"$XDG_DATA_HOME/applications/qh-test-browser.desktop"
    printf '[Default Applications]\ntext/html=qh-test-browser.desktop\n' >"$XDG_CONFIG_HOME/mimeapps.list"
    link=$(sed -n 's/^link1=//p' "$(dirname "$saver")/../share/quiet-highland/links.txt" | tr -d '\r')
    [ -n "$link" ] || fail "the installation's links.txt has no link1"
    start_saver /c
    wait_dialog_focused
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    # The picture's control spans 16..184 x 155..188 of the dialog's 252 x 199 units.
    xdotool mousemove --window "$wid" $((WIDTH * 100 / 252)) $((HEIGHT * 171 / 199)) sleep 0.3 click 1
    for i in $(seq 100); do
      [ -f "$work/opened" ] && break
      sleep 0.1
    done
    [ -f "$work/opened" ] || fail "the link was not opened"
    # A handler taking %u gets a local file's path or its address, as GIO sees fit.
    opened=$(cat "$work/opened")
    [ "$opened" = "$link" ] || [ "file://$opened" = "$link" ] || fail "opened $opened instead of $link"
    sleep 0.5
    alive || fail "the dialog closed when the link was opened"
    xdotool windowactivate --sync "$wid" key Escape
    expect_ended_cleanly 10 "Escape"
    expect_no_x_errors
    ;;

  dialog_transient_for_parent)
    start_x
    make_host_window 400 300
    start_saver "/c:$host_id"
    wait_dialog_focused
    transient=$(xprop -id "$wid" WM_TRANSIENT_FOR)
    [ "$(printf '%d' "${transient##* }")" = "$host_id" ] 2>/dev/null ||
      fail "the dialog is not transient for window $host_id: $transient"
    type_keys Escape
    expect_ended_cleanly 10 "Escape"
    expect_no_x_errors
    ;;

  dialog_parent_does_not_exist)
    start_x
    start_saver /c:12345
    wait_dialog_focused
    xprop -id "$wid" WM_TRANSIENT_FOR | grep -q 'not found' || fail "the dialog has a parent: $(xprop -id "$wid" WM_TRANSIENT_FOR)"
    grep -q "no window 12345" "$work/saver.log" || fail "no word about the missing window"
    type_keys Escape
    expect_ended_cleanly 10 "Escape"
    expect_no_x_errors
    ;;

  dialog_missing_picture)
    install=$work/install
    mkdir -p "$install"
    printf 'link1=file:///nowhere\r\n' >"$install/links.txt"
    use_installation "$install"
    start_saver /c
    wait_exit 5 || fail "still running"
    [ "$rc" -eq 1 ] || fail "exit code $rc (1 expected)"
    grep -qF "Can't load ad1.jpg..." "$work/saver.log" || fail "no loading message"
    grep -qF "Program will now stop." "$work/saver.log" || fail "no loading message"
    ;;

  preview_sigterm_ends_it)
    start_x
    install=$work/install
    mkdir -p "$install/Data"
    printf 'link1=file:///nowhere\r\n' >"$install/links.txt"
    use_installation "$install"
    make_host_window 200 150
    start_saver /p "$host_id"
    sleep 1
    alive || fail "the preview ended on its own"
    kill -TERM "$saver_pid"
    expect_ended_cleanly 1 "SIGTERM"
    ;;

  fatal_box_sigterm_ends_it | fatal_box_sighup_ends_it | fatal_box_sigkill_leaves_nothing)
    # An installation without its font: the saver stops with the loading error in a box.
    start_x
    install=$work/install
    mkdir -p "$install/Data"
    printf 'link1=file:///nowhere\r\n' >"$install/links.txt"
    use_installation "$install"
    start_saver /s
    # The box has no window class, which xdotool's search needs: look for its title.
    box_shown() { xwininfo -root -tree 2>/dev/null | grep -qF '"Loading error"'; }
    deadline=$(($(now_ms) + 30000))
    until box_shown || [ "$(now_ms)" -ge "$deadline" ]; do sleep 0.1; done
    box_shown || fail "no message box appeared"
    grep -qF "Couldn't load texture: font.tga" "$work/saver.log" || fail "no loading message on stderr"
    sleep 0.5
    alive || fail "the saver did not wait for the box"
    # Every process of ours: the saver and whatever it started for the box.
    ours=$(ps -eo pid=,ppid= | awk -v root="$saver_pid" '
      { parent[$1] = $2 } END { keep[root] = 1; changed = 1
        while (changed) { changed = 0; for (p in parent) if (!(p in keep) && (parent[p] in keep)) { keep[p] = 1; changed = 1 } }
        for (p in keep) print p }')
    case "$case_name" in
      fatal_box_sigterm_ends_it) kill -TERM "$saver_pid" ;;
      fatal_box_sighup_ends_it) kill -HUP "$saver_pid" ;;
      *) kill -KILL "$saver_pid" ;;
    esac
    wait_exit 1 || fail "still running 1 s after the signal"
    if [ "$case_name" != fatal_box_sigkill_leaves_nothing ]; then
      [ "$rc" -eq 1 ] || fail "exit code $rc after the signal (1 expected)"
    fi
    deadline=$(($(now_ms) + 1000))
    left=""
    while [ "$(now_ms)" -lt "$deadline" ]; do
      left=""
      # A dead process not yet reaped (a zombie, state Z) holds no window and runs nothing.
      for p in $ours; do
        state=$(ps -o stat= -p "$p" 2>/dev/null)
        [ -n "$state" ] && [ "${state#Z}" = "$state" ] && left="$left $p"
      done
      [ -z "$left" ] && break
      sleep 0.05
    done
    [ -z "$left" ] || fail "processes of the saver outlived it:$left ($(ps -o pid=,args= -p "$(echo $left | tr " " ,)"))"
    box_shown && fail "the message box is still on screen"
    ;;

  *)
    fail "unknown case"
    ;;
esac
echo "PASS ($case_name)"
