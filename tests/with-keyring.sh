#!/bin/sh
# Runs a test inside a D-Bus session of its own with an unlocked gnome-keyring (the Secret Service
# a desktop has) keeping its keyrings in a folder of its own; both end with the session.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
XDG_DATA_HOME=$home XDG_RUNTIME_DIR=$home dbus-run-session -- sh -c '
  printf "tabulink-test" | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1
  TABULINK_KEYRING_SESSION=1 exec "$@"' sh "$@"
