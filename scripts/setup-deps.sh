#!/bin/bash
# Installs the Debian packages Veska needs to build, run and test (only the missing ones), on
# Debian 12 "bookworm" and Debian 13 "trixie" alike. Running it again finishes a half-done set-up.
set -eu
packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libqt6svg6 qt6-translations-l10n libglib2.0-dev libcanberra-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-dev
  xvfb xauth trayer xdotool x11-utils openbox imagemagick python3 fonts-ipafont-gothic
  dbus-x11 dbus-daemon libglib2.0-bin xfce4-panel
  gnome-shell gnome-shell-extension-appindicator at-spi2-core sway waybar grim wtype xwayland qt6-wayland
  lxqt-panel pcmanfm-qt python3-gi
  gsettings-desktop-schemas cinnamon-desktop-data mate-desktop-common dpkg-dev file desktop-file-utils
  lintian appstream man-db gdb
)
release=$(. /etc/os-release 2>/dev/null; echo "${PRETTY_NAME:-an unknown release}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
# A dpkg run cut short leaves packages unconfigured; finish it before anything else.
$SUDO dpkg --configure -a
$SUDO apt-get update -qq || echo "setup-deps: the package lists of $release could not all be read" >&2
if ! $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  # Tell which of them apt cannot give, so the message names the package and the release.
  for p in "${missing[@]}"; do
    apt-cache show --no-all-versions "$p" >/dev/null 2>&1 ||
      echo "setup-deps: package $p is not available on $release" >&2
  done
  echo "setup-deps: installing the packages failed on $release (see apt's message above);" \
    "run the same command again once that is mended" >&2
  exit 1
fi
