#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ ccache clang clang-format clang-tidy libclang-rt-dev gcovr
          qt6-base-dev qt6-base-dev-tools libgtest-dev libgmock-dev
          xvfb xauth trayer imagemagick x11-utils strace libqt6svg6 fonts-dejavu-core locales
          dbus-bin dbus-daemon dunst libnotify-bin lintian desktop-file-utils appstream man-db
          python3-dbus python3-gi qt6-l10n-tools qt6-tools-dev openssl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
