#!/usr/bin/env bash
# An OpenSSH server of the sandbox on 127.0.0.1, for the tunnels' tests: it lets the user running
# it in with keys made here (ed25519, and RSA with a passphrase), and forwards only to the sandbox's
# database ports. Everything it needs is under the sandbox folder (the privilege separation
# directory a root sshd wants aside).
#   sandbox-ssh.sh start DIR PORT   start it (no-op when it runs)
#   sandbox-ssh.sh stop DIR         stop it, by its pid file
#   sandbox-ssh.sh pid DIR          its pid, when it runs
set -euo pipefail

command=$1 dir=$2/ssh
pid_of() {
  [ -s "$dir/sshd.pid" ] || return 0
  local pid; pid=$(cat "$dir/sshd.pid")
  if kill -0 "$pid" 2>/dev/null && grep -q sshd "/proc/$pid/cmdline" 2>/dev/null; then echo "$pid"; fi
}

case $command in
  start)
    port=$3
    [ -x /usr/sbin/sshd ] || { echo "no /usr/sbin/sshd: the tunnel tests skip" >&2; exit 0; }
    [ -n "$(pid_of)" ] && exit 0
    mkdir -p "$dir"
    [ -f "$dir/host_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-host -f "$dir/host_ed25519"
    [ -f "$dir/client_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C sandbox-client -f "$dir/client_ed25519"
    [ -f "$dir/client_rsa" ] || ssh-keygen -q -t rsa -b 3072 -N 'sandbox-key-pass' -C sandbox-rsa -f "$dir/client_rsa"
    cat "$dir/client_ed25519.pub" "$dir/client_rsa.pub" >"$dir/authorized_keys"
    chmod 600 "$dir/authorized_keys"
    cat >"$dir/sshd_config" <<CONFIG
Port $port
ListenAddress 127.0.0.1
HostKey $dir/host_ed25519
PidFile $dir/sshd.pid
AuthorizedKeysFile $dir/authorized_keys
PubkeyAuthentication yes
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
StrictModes no
PermitRootLogin prohibit-password
AllowTcpForwarding local
PermitOpen 127.0.0.1:33061 127.0.0.1:33062 127.0.0.1:33063 127.0.0.1:33064 127.0.0.1:33065
X11Forwarding no
ClientAliveInterval 0
LogLevel ERROR
CONFIG
    [ "$(id -u)" -ne 0 ] || mkdir -p /run/sshd
    /usr/sbin/sshd -f "$dir/sshd_config" -E "$dir/sshd.log"
    for _ in $(seq 1 50); do [ -n "$(pid_of)" ] && break; sleep 0.1; done
    ;;
  stop)
    pid=$(pid_of)
    [ -z "$pid" ] || kill "$pid"
    ;;
  pid) pid_of ;;
esac
