#!/usr/bin/env bash
# Installs every Debian package Corvana needs to build, run and test.
set -euo pipefail
pkgs=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-qpa-plugins
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
  gstreamer1.0-libav gstreamer1.0-pulseaudio gstreamer1.0-tools
  libasound2-dev libasound2-plugins alsa-utils
  libx11-dev libxi-dev libxtst-dev
  libgtest-dev googletest
  xvfb xauth openbox xdotool x11-utils x11-xkb-utils xkb-data wmctrl imagemagick
  dbus dbus-x11 pulseaudio pulseaudio-utils
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0
  mpv ffmpeg mediainfo socat psmisc procps lsof bc
  fonts-dejavu-core
  desktop-file-utils appstream dpkg-dev file groff-base
  # The Debian package: its build tools (the rest of debian/control's Build-Depends is above) and
  # its checker.
  debhelper fakeroot pkgconf lintian
  qt6-l10n-tools qt6-tools-dev qt6-translations-l10n
  libpulse-dev
  # The desktops users run, for the tests that prove Corvana there: PipeWire for sound and
  # cameras (without pipewire-alsa, which repoints ALSA's default for every session) and the
  # real GlobalShortcuts portal with its KDE backend.
  pipewire pipewire-bin wireplumber pipewire-pulse gstreamer1.0-pipewire
  xdg-desktop-portal xdg-desktop-portal-kde libkf5globalaccel-bin
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
