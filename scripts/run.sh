#!/usr/bin/env bash
# Installs what is missing, builds, starts the sandbox servers with two demo databases,
# stores their logins in a settings folder of the sandbox's own, and opens Tabulink on them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}

"$root/scripts/deps.sh"
"$root/scripts/build.sh"
"$root/scripts/sandbox.sh" start
eval "$("$root/scripts/sandbox.sh" env)"

# The demo keeps its logins in a settings folder of its own under the sandbox folder, so the
# user's own settings file is never read or written by it.
export XDG_CONFIG_HOME=$TABULINK_SANDBOX_DIR/config
settings_dir=$XDG_CONFIG_HOME/Quillmarsh
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
echo "The demo's settings: $settings_dir/Quillmarsh.ini (your own settings are not touched)"
echo "Stop the sandbox servers later with: scripts/sandbox.sh stop"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: Tabulink runs on a virtual one (xvfb-run). Use a desktop session to see it." >&2
  exec xvfb-run -a "$build/src/tabulink"
fi
exec "$build/src/tabulink"
