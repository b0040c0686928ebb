#!/usr/bin/env bash
# Three OpenSSH servers of the sandbox on 127.0.0.1, for the tunnels' tests. The first two let the
# user running them in with keys made here (ed25519, and RSA with a passphrase). The first (PORT)
# forwards only to the sandbox's database ports; the second (PORT+1) is a jump host that forwards
# only to the first, so a database is reached through it in two hops or not at all. The third
# (PORT+2) takes a password only: it runs in a mount namespace of its own where /etc/shadow is a
# file of the sandbox's giving the user that password, so no account of this machine gets one.
# Everything they need is under the sandbox folder (the privilege separation directory a root sshd
# wants aside).
#   sandbox-ssh.sh start DIR PORT   start them (no-op for one that runs)
#   sandbox-ssh.sh stop DIR         stop them, by their pid files
#   sandbox-ssh.sh pid DIR          their pids, when they run
set -euo pipefail

command=$1 dir=$2/ssh
password=sandbox-ssh-pass # the password server's, for the user running it
pid_of() { # [name]: sshd (the default), jump or pass
  local file=$dir/${1:-sshd}.pid
  [ -s "$file" ] || return 0
  local pid; pid=$(cat "$file")
  if kill -0 "$pid" 2>/dev/null && grep -q sshd "/proc/$pid/cmdline" 2>/dev/null; then echo "$pid"; fi
}
# name port permit-open...
write_config() {
  local name=$1 port=$2 keys=yes password=no root=prohibit-password; shift 2
  [ "$name" != pass ] || { keys=no password=yes root=yes; }
  cat >"$dir/$name.config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_$name
PidFile $dir/$name.pid
AuthorizedKeysFile $dir/authorized_keys
PubkeyAuthentication $keys
PasswordAuthentication $password
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin $root
AllowTcpForwarding local
PermitOpen $*
X11Forwarding no
ClientAliveInterval 0
LogLevel ERROR
CONFIG
}
start_one() { # name
  [ -n "$(pid_of "$1")" ] && return 0
  if [ "$1" = pass ]; then
    # A private mount namespace (a user namespace too when not root) for the shadow file alone.
    local private=(--mount --propagation private)
    [ "$(id -u)" -eq 0 ] || private=(--user --map-current-user --mount --keep-caps)
    unshare "${private[@]}" sh -c 'mount --bind "$1" /etc/shadow && exec /usr/sbin/sshd -f "$2" -E "$3"' \
      sh "$dir/shadow" "$dir/pass.config" "$dir/pass.log" ||
      { echo "no mount namespace here: the SSH password test skips" >&2; return 0; }
  else
    /usr/sbin/sshd -f "$dir/$1.config" -E "$dir/$1.log"
  fi
  for _ in $(seq 1 50); do [ -n "$(pid_of "$1")" ] && break; sleep 0.1; done
}

case $command in
  start)
    port=$3
    [ -x /usr/sbin/sshd ] || { echo "no /usr/sbin/sshd: the tunnel tests skip" >&2; exit 0; }
    mkdir -p "$dir"
    [ -f "$dir/host_sshd" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-host -f "$dir/host_sshd"
    [ -f "$dir/host_jump" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-jump -f "$dir/host_jump"
    [ -f "$dir/host_pass" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-pass -f "$dir/host_pass"
    [ -f "$dir/client_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-client -f "$dir/client_ed25519"
    [ -f "$dir/client_rsa" ] || ssh-keygen -q -t rsa -b 3072 -N 'sandbox-key-pass' -C sandbox-rsa -f "$dir/client_rsa"
    cat "$dir/client_ed25519.pub" "$dir/client_rsa.pub" >"$dir/authorized_keys"
    chmod 600 "$dir/authorized_keys"
    write_config sshd "$port" 127.0.0.1:33061 127.0.0.1:33062 127.0.0.1:33063 127.0.0.1:33064 127.0.0.1:33065
    write_config jump $((port + 1)) "127.0.0.1:$port"
    write_config pass $((port + 2)) 127.0.0.1:33061 127.0.0.1:33062
    printf '%s:%s:19000:0:99999:7:::\n' "$(id -un)" "$(openssl passwd -6 "$password")" >"$dir/shadow"
    chmod 600 "$dir/shadow"
    [ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd
    start_one sshd
    start_one jump
    start_one pass
    ;;
  stop)
    for name in sshd jump pass; do
      pid=$(pid_of $name)
      [ -z "$pid" ] || kill "$pid"
    done
    ;;
  pid) echo $(pid_of sshd) $(pid_of jump) $(pid_of pass) ;;
esac
