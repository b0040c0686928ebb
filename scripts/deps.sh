#!/usr/bin/env bash
# Installs the Debian packages the build, the sandbox servers and the tests need.
# Does nothing when they are all present, so it is safe to run again.
set -euo pipefail

packages=(
  g++ cmake make ninja-build lld pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev libgl-dev libqt6svg6
  libmariadb-dev libssl-dev openssl mariadb-server mariadb-client
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus-daemon dbus-bin
  fonts-liberation xvfb xauth
  dpkg-dev file appstream desktop-file-utils valgrind debootstrap
  libssh-dev openssh-server openssh-client
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
# The packaged server must not start a system-wide instance; the sandbox runs its own.
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 \
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
