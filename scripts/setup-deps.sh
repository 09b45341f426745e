#!/bin/bash
# Installs the Debian 12 packages Veska needs to build, run and test (only the missing ones).
set -eu
packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libqt6svg6 qt6-translations-l10n libglib2.0-dev libcanberra-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-14 libclang-rt-14-dev
  xvfb xauth trayer xdotool x11-utils openbox imagemagick python3 fonts-ipafont-gothic
  dbus-x11 dbus-daemon libglib2.0-bin xfce4-panel
  gnome-shell gnome-shell-extension-appindicator at-spi2-core sway waybar grim wtype xwayland qt6-wayland
  lxqt-panel pcmanfm-qt
  gsettings-desktop-schemas cinnamon-desktop-data mate-desktop-common dpkg-dev file desktop-file-utils
  lintian appstream man-db
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
