#!/usr/bin/env bash
# Installs what is missing, builds, starts the sandbox servers with two demo databases,
# stores their logins where Tabulink keeps them, and opens Tabulink on them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}

"$root/scripts/deps.sh"
"$root/scripts/build.sh"
"$root/scripts/sandbox.sh" start
eval "$("$root/scripts/sandbox.sh" env)"

settings_dir=${XDG_CONFIG_HOME:-$HOME/.config}/Quillmarsh
mkdir -p "$settings_dir"
( umask 077
  cat > "$settings_dir/Quillmarsh.ini" <<INI
[Tabulink]
MyServer=$TABULINK_HOST
MyUser=$TABULINK_USER
MyPassword=$TABULINK_PASSWORD1
MyDatabase=demo1
MyPort=$TABULINK_PORT1
MyServer2=$TABULINK_HOST
MyUser2=$TABULINK_USER
MyPassword2=$TABULINK_PASSWORD2
MyDatabase2=demo2
MyPort2=$TABULINK_PORT2
INI
)

echo "MySQL #1: demo1 on $TABULINK_HOST:$TABULINK_PORT1   MySQL #2: demo2 on $TABULINK_HOST:$TABULINK_PORT2"
echo "Stop the sandbox servers later with: scripts/sandbox.sh stop"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: Tabulink runs on a virtual one (xvfb-run). Use a desktop session to see it." >&2
  exec xvfb-run -a "$build/src/tabulink"
fi
exec "$build/src/tabulink"
