#!/usr/bin/env bash
# Builds a minimal Debian tree with that release's server in it, for the sandbox's servers of other
# versions and makes:  server-tree.sh <release> <folder> [packages]
# (bullseye: MariaDB 10.5, trixie: 11.8; sid with mysql-server-core,mysql-client-core: MySQL 9.7)
# Packages come from the Debian mirror this machine's own apt configuration names. A tree once
# built is kept (a stamp file says so); a failed build leaves its reason in <folder>.failed.
set -euo pipefail

release=$1
tree=$2
packages=${3:-mariadb-server}

[ -f "$tree/.tabulink-built" ] && exit 0
if [ "$(id -u)" -ne 0 ]; then
  echo "building a server tree needs root (debootstrap, chroot)" >"$tree.failed"
  exit 1
fi

# The first Debian archive the machine's apt sources name (deb822 or one-line form).
mirror() {
  local uri
  uri=$(grep -hE '^\s*URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | awk '{print $2}' \
    | grep -vE 'security|updates' | head -n1 || true)
  if [ -z "$uri" ]; then
    uri=$(grep -hE '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
      | awk '{for (i = 2; i <= NF; i++) if ($i ~ /^https?:/) {print $i; exit}}' | grep -v security | head -n1 || true)
  fi
  echo "${uri:-http://deb.debian.org/debian}"
}

command -v debootstrap >/dev/null || {
  echo "debootstrap is not installed" >"$tree.failed"
  exit 1
}
rm -rf "$tree" "$tree.failed"
mkdir -p "$(dirname "$tree")"
# The package scripts must not start a server of their own inside the tree.
if ! debootstrap --variant=minbase --include="$packages" "$release" "$tree" "$(mirror)" >"$tree.log" 2>&1; then
  { echo "debootstrap of $release from $(mirror) failed:"; tail -n 5 "$tree.log"; } >"$tree.failed"
  rm -rf "$tree"
  exit 1
fi
touch "$tree/.tabulink-built"
