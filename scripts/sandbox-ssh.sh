#!/usr/bin/env bash
# Two OpenSSH servers of the sandbox on 127.0.0.1, for the tunnels' tests. Both let the user
# running them in with keys made here (ed25519, and RSA with a passphrase). The first (PORT)
# forwards only to the sandbox's database ports; the second (PORT+1) is a jump host that forwards
# only to the first, so a database is reached through it in two hops or not at all. Everything
# they need is under the sandbox folder (the privilege separation directory a root sshd wants aside).
#   sandbox-ssh.sh start DIR PORT   start them (no-op for one that runs)
#   sandbox-ssh.sh stop DIR         stop them, by their pid files
#   sandbox-ssh.sh pid DIR          their pids, when they run
set -euo pipefail

command=$1 dir=$2/ssh
pid_of() { # [name]: sshd (the default) or jump
  local file=$dir/${1:-sshd}.pid
  [ -s "$file" ] || return 0
  local pid; pid=$(cat "$file")
  if kill -0 "$pid" 2>/dev/null && grep -q sshd "/proc/$pid/cmdline" 2>/dev/null; then echo "$pid"; fi
}
# name port permit-open...
write_config() {
  local name=$1 port=$2; shift 2
  cat >"$dir/$name.config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_$name
PidFile $dir/$name.pid
AuthorizedKeysFile $dir/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
AllowTcpForwarding local
PermitOpen $*
X11Forwarding no
ClientAliveInterval 0
LogLevel ERROR
CONFIG
}
start_one() { # name
  [ -n "$(pid_of "$1")" ] && return 0
  /usr/sbin/sshd -f "$dir/$1.config" -E "$dir/$1.log"
  for _ in $(seq 1 50); do [ -n "$(pid_of "$1")" ] && break; sleep 0.1; done
}

case $command in
  start)
    port=$3
    [ -x /usr/sbin/sshd ] || { echo "no /usr/sbin/sshd: the tunnel tests skip" >&2; exit 0; }
    mkdir -p "$dir"
    [ -f "$dir/host_sshd" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-host -f "$dir/host_sshd"
    [ -f "$dir/host_jump" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-jump -f "$dir/host_jump"
    [ -f "$dir/client_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-client -f "$dir/client_ed25519"
    [ -f "$dir/client_rsa" ] || ssh-keygen -q -t rsa -b 3072 -N 'sandbox-key-pass' -C sandbox-rsa -f "$dir/client_rsa"
    cat "$dir/client_ed25519.pub" "$dir/client_rsa.pub" >"$dir/authorized_keys"
    chmod 600 "$dir/authorized_keys"
    write_config sshd "$port" 127.0.0.1:33061 127.0.0.1:33062 127.0.0.1:33063 127.0.0.1:33064 127.0.0.1:33065
    write_config jump $((port + 1)) "127.0.0.1:$port"
    [ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd
    start_one sshd
    start_one jump
    ;;
  stop)
    for name in sshd jump; do
      pid=$(pid_of $name)
      [ -z "$pid" ] || kill "$pid"
    done
    ;;
  pid) echo $(pid_of sshd) $(pid_of jump) ;;
esac
