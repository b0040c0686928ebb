# Shared by the scripts that need a build and the sandbox servers; source it, then call prepare.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${TABULINK_BUILD:-$root/build}

# What to undo when the calling script ends, however it ends: each step once, in order.
exit_steps=()
at_exit() {
  exit_steps+=("$1")
  trap 'for step in "${exit_steps[@]}"; do eval "$step"; done' EXIT
}

# Installs what is missing, builds, and starts the sandbox servers unless they already run;
# servers started here are stopped again when the calling script ends.
prepare() {
  "$root/scripts/deps.sh"
  # The sandbox's Debian trees download and unpack while the build compiles.
  "$root/scripts/sandbox.sh" trees >/dev/null 2>&1 &
  local trees=$!
  "$root/scripts/build.sh"
  wait "$trees" || true
  if ! "$root/scripts/sandbox.sh" running; then
    at_exit '"$root/scripts/sandbox.sh" stop' 
    "$root/scripts/sandbox.sh" start --no-demo
  fi
  set -a
  eval "$("$root/scripts/sandbox.sh" env)"
  set +a
}
