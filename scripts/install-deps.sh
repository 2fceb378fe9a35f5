#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the saver and the tests need.
# Safe to run again: only missing packages are installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-image-dev libgl1-mesa-dri libegl-dev libgl-dev
  libgtk-3-dev libopenmpt-dev libvorbis-dev libmpg123-dev
  libfreetype-dev fonts-dejavu-core libjpeg-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev libmp3lame-dev
  xvfb xauth xdotool openbox x11-utils locales shared-mime-info
  libglib2.0-dev
  xscreensaver xscreensaver-gl dbus-daemon desktop-file-utils libxml2-utils x11-apps libxext-dev
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  mate-screensaver xscreensaver-data dconf-service dconf-gsettings-backend
  groff-base mandoc man-db dpkg-dev lintian
  libwayland-dev wayland-protocols libwayland-bin sway grim wtype weston
  clang libclang-rt-14-dev
  pulseaudio pulseaudio-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages are present."
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: these packages are missing and this user cannot install them: ${missing[*]}" >&2
    echo "install-deps: run this script as root, or install sudo." >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update
"${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
