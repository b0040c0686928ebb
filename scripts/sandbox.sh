#!/usr/bin/env bash
# Private servers on 127.0.0.1 for trying Tabulink and for its tests: two MariaDB of this
# machine's own version, and (as root) MariaDB 10.5 and 11.8 and a stock MySQL 9.7 from minimal
# Debian 11, 13 and unstable trees built in the sandbox folder once (scripts/server-tree.sh) and
# kept there.
#   sandbox.sh start   start them all (no-op for one already running)
#   sandbox.sh stop    stop the ones this script started, by their pid files
#   sandbox.sh status  show what is running
#   sandbox.sh running exit 0 when the two servers of this machine's version are up
#   sandbox.sh trees   build the Debian trees of the other versions now (start does when needed)
#   sandbox.sh env     print the logins as shell variables
# An OpenSSH server (sandbox-ssh.sh) stands in front of the database ports for the tunnels' tests.
# The servers run in different default time zones on purpose: copies must not shift TIMESTAMPs.
# Both serve TLS with certificates made here at the first start (tls/: a CA, a server certificate
# for 127.0.0.1 and localhost, a client certificate, and a second CA that signed none of them).
set -euo pipefail

dir=${TABULINK_SANDBOX_DIR:-/tmp/tabulink-sandbox-$(id -u)}
port1=${TABULINK_PORT1:-33061}
port2=${TABULINK_PORT2:-33062}
port3=${TABULINK_PORT3:-33063} # MariaDB 10.5 (Debian 11)
port4=${TABULINK_PORT4:-33064} # MariaDB 11.8 (Debian 13)
port5=${TABULINK_PORT5:-33065} # MySQL 9.7 (Debian unstable)
port_ssh=${TABULINK_SSH_PORT:-33071} # OpenSSH, in front of the database ports
trees=$dir/trees
here=$(cd "$(dirname "$0")" && pwd)
user=tabulink
password1=sandbox-one
password2=sandbox-two
password3=sandbox-three
password4=sandbox-four
password5=sandbox-five
zone1=-05:00
zone2=+09:30

server_bin() { command -v mariadbd || echo /usr/sbin/mariadbd; }

release_of() { case $1 in three) echo bullseye ;; four) echo trixie ;; five) echo sid ;; esac; }
packages_of() { case $1 in sid) echo mysql-server-core,mysql-client-core ;; *) echo mariadb-server ;; esac; }
instances="one two three four five"

pid_file_of() { # instance -> its pid file
  case $1 in
    one | two) echo "$dir/$1/mariadbd.pid" ;;
    five) echo "$trees/sid/run/tabulink/mysqld.pid" ;;
    *) echo "$trees/$(release_of "$1")/run/tabulink/mariadbd.pid" ;;
  esac
}

pid_of() { # instance -> pid of a live server this script started, or nothing
  local f; f=$(pid_file_of "$1")
  [ -s "$f" ] || return 0
  local pid; pid=$(cat "$f")
  if kill -0 "$pid" 2>/dev/null && grep -qE 'mariadbd|mysqld' "/proc/$pid/cmdline" 2>/dev/null; then echo "$pid"; fi
}

client() { # instance password port -> mariadb client over TCP (and TLS) as the sandbox user
  mariadb --no-defaults --ssl --default-character-set=utf8mb4 --protocol=tcp -h127.0.0.1 -P"$3" -u"$user" -p"$2" "${@:4}"
}

make_certificates() { # once: openssl's own commands, nothing kept outside the sandbox folder
  local tls=$dir/tls
  [ -s "$tls/client-key.pem" ] && return 0
  mkdir -p "$tls"
  ( cd "$tls"
    umask 077
    cat > server.ext <<EXT
subjectAltName = IP:127.0.0.1, DNS:localhost
EXT
    for ca in ca other-ca; do
      openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Tabulink sandbox $ca" \
        -keyout "$ca-key.pem" -out "$ca.pem" 2>/dev/null
    done
    openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" -keyout server-key.pem -out server.csr 2>/dev/null
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 3650 \
      -extfile server.ext -out server.pem 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=tabulink-client" -keyout client-key.pem -out client.csr 2>/dev/null
    openssl x509 -req -in client.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial -days 3650 \
      -out client.pem 2>/dev/null
    rm -f ./*.csr ./*.srl server.ext )
}

start_one() { # name port zone password extra-server-options...
  local name=$1 port=$2 zone=$3 password=$4 data=$dir/$1
  shift 4
  if [ -n "$(pid_of "$name")" ]; then return 0; fi
  mkdir -p "$data"
  if [ ! -d "$data/db/mysql" ]; then
    mkdir -p "$data/db"
    mariadb-install-db --no-defaults --user="$(id -un)" --datadir="$data/db" \
      --auth-root-authentication-method=normal --skip-test-db >"$data/install.log" 2>&1
  fi
  "$(server_bin)" --no-defaults --user="$(id -un)" --datadir="$data/db" \
    --bind-address=127.0.0.1 --port="$port" --socket="$data/mariadbd.sock" \
    --pid-file="$data/mariadbd.pid" --log-error="$data/error.log" \
    --skip-name-resolve --skip-log-bin --default-time-zone="$zone" \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_unicode_ci \
    --innodb-buffer-pool-size=128M --innodb-log-file-size=64M \
    --innodb-flush-log-at-trx-commit=2 --max-connections=200 \
    --max-allowed-packet=64M --ssl-ca="$dir/tls/ca.pem" --ssl-cert="$dir/tls/server.pem" \
    --ssl-key="$dir/tls/server-key.pem" "$@" >/dev/null 2>&1 &
  local i
  for i in $(seq 1 120); do
    if mariadb-admin --no-defaults --socket="$data/mariadbd.sock" -uroot ping >/dev/null 2>&1; then break; fi
    sleep 0.5
  done
  mariadb --no-defaults --socket="$data/mariadbd.sock" -uroot <<SQL
CREATE USER IF NOT EXISTS '$user'@'%' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'%' WITH GRANT OPTION;
CREATE USER IF NOT EXISTS 'oddpass'@'%' IDENTIFIED BY 'p;a{ss}w0rd';
GRANT ALL PRIVILEGES ON *.* TO 'oddpass'@'%';
CREATE USER IF NOT EXISTS 'nbe'@'%' IDENTIFIED BY 'sandbox-nbe';
GRANT ALL PRIVILEGES ON \`t\_%\`.* TO 'nbe'@'%';
CREATE USER IF NOT EXISTS 'x509'@'%' IDENTIFIED BY 'sandbox-x509' REQUIRE X509;
GRANT ALL PRIVILEGES ON *.* TO 'x509'@'%';
FLUSH PRIVILEGES;
SQL
}

demo_data() {
  client one "$password1" "$port1" <<'SQL'
CREATE DATABASE IF NOT EXISTS demo1 CHARACTER SET utf8mb4;
USE demo1;
CREATE TABLE IF NOT EXISTS customers (
  id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, name VARCHAR(80) NOT NULL,
  email VARCHAR(120), city VARCHAR(60), joined DATE, note TEXT);
INSERT INTO customers (name, email, city, joined, note)
SELECT * FROM (SELECT 'Aoife O''Brien', 'aoife@example.ie', 'Cork', '2021-03-14', 'Prefers e-mail 📧' UNION ALL
  SELECT 'Jürgen Müller', NULL, 'München', '2019-11-02', NULL UNION ALL
  SELECT 'Zoë Ng', 'zoe@example.com', NULL, NULL, 'Path C:\\Users\\zoe' UNION ALL
  SELECT '山田 太郎', 'taro@example.jp', '東京', '2023-07-30', '') AS seed
WHERE NOT EXISTS (SELECT 1 FROM customers);
CREATE TABLE IF NOT EXISTS products (
  sku CHAR(8) NOT NULL PRIMARY KEY, title VARCHAR(100), price DECIMAL(10,2) UNSIGNED,
  weight_kg DOUBLE, colour ENUM('red','green','blue'), tags SET('new','sale','eco'),
  thumbnail BLOB, in_stock BIT(1), added TIMESTAMP NULL);
INSERT IGNORE INTO products VALUES
  ('SKU-0001', 'Teapot "Classic"', 24.90, 1.25, 'blue', 'new,eco', X'89504E470D0A1A0A00', b'1', '2024-01-05 09:30:00'),
  ('SKU-0002', 'Mug, 0.4 l', 7.50, 0.35, 'red', '', NULL, b'0', NULL),
  ('SKU-0003', 'Kettle', NULL, NULL, NULL, 'sale', X'', b'1', '2024-02-29 23:59:59');
CREATE TABLE IF NOT EXISTS orders (
  id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY, customer_id INT NOT NULL,
  sku CHAR(8), quantity SMALLINT, placed DATETIME(3), shipped_on DATE);
INSERT INTO orders (customer_id, sku, quantity, placed, shipped_on)
SELECT * FROM (SELECT 1, 'SKU-0001', 2, '2024-03-01 10:00:00.125', '2024-03-03' UNION ALL
  SELECT 2, 'SKU-0002', 6, '2024-03-02 11:15:00.000', NULL UNION ALL
  SELECT 1, 'SKU-0003', 1, '2024-03-05 08:45:30.500', NULL) AS seed
WHERE NOT EXISTS (SELECT 1 FROM orders);
SQL
  client two "$password2" "$port2" <<'SQL'
CREATE DATABASE IF NOT EXISTS demo2 CHARACTER SET utf8mb4;
USE demo2;
CREATE TABLE IF NOT EXISTS suppliers (id INT PRIMARY KEY, name VARCHAR(80), country CHAR(2));
INSERT IGNORE INTO suppliers VALUES (1, 'Nordic Clay AB', 'SE'), (2, 'Porcelana Sur', 'AR');
CREATE TABLE IF NOT EXISTS `Stock Levels` (sku CHAR(8), warehouse VARCHAR(20), units INT);
INSERT INTO `Stock Levels` SELECT * FROM (SELECT 'SKU-0001', 'Dublin', 40 UNION ALL SELECT 'SKU-0002', 'Lyon', 0) AS seed
WHERE NOT EXISTS (SELECT 1 FROM `Stock Levels`);
SQL
}
start_tree() { # name port password: the server of that instance's Debian tree, run inside it
  local name=$1 port=$2 password=$3 tree
  tree=$trees/$(release_of "$name")
  if [ -n "$(pid_of "$name")" ]; then return 0; fi
  if [ ! -f "$tree/.tabulink-built" ]; then
    echo "MariaDB of Debian $(release_of "$name") is not in the sandbox: $(cat "$tree.failed" 2>/dev/null)" >&2
    return 0
  fi
  mkdir -p "$tree/run/tabulink" "$tree/tabulink-tls" "$tree/var/lib/tabulink"
  cp "$dir/tls/ca.pem" "$dir/tls/server.pem" "$dir/tls/server-key.pem" "$tree/tabulink-tls/"
  if [ ! -d "$tree/var/lib/tabulink/mysql" ]; then
    chroot "$tree" mariadb-install-db --no-defaults --force --skip-name-resolve --user=root \
      --datadir=/var/lib/tabulink --auth-root-authentication-method=normal --skip-test-db >"$tree/install.log" 2>&1
  fi
  chroot "$tree" /usr/sbin/mariadbd --no-defaults --user=root --datadir=/var/lib/tabulink \
    --bind-address=127.0.0.1 --port="$port" --socket=/run/tabulink/mariadbd.sock \
    --pid-file=/run/tabulink/mariadbd.pid --log-error=/var/lib/tabulink/error.log \
    --skip-name-resolve --skip-log-bin --character-set-server=utf8mb4 \
    --innodb-buffer-pool-size=64M --innodb-flush-log-at-trx-commit=2 --max-connections=100 \
    --max-allowed-packet=64M --ssl-ca=/tabulink-tls/ca.pem --ssl-cert=/tabulink-tls/server.pem \
    --ssl-key=/tabulink-tls/server-key.pem >/dev/null 2>&1 &
  local i
  for i in $(seq 1 120); do
    if chroot "$tree" mariadb-admin --no-defaults --socket=/run/tabulink/mariadbd.sock -uroot ping >/dev/null 2>&1; then break; fi
    sleep 0.5
  done
  chroot "$tree" mariadb --no-defaults --socket=/run/tabulink/mariadbd.sock -uroot <<SQL
CREATE USER IF NOT EXISTS '$user'@'%' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'%' WITH GRANT OPTION;
FLUSH PRIVILEGES;
SQL
}

# MySQL as shipped: caching_sha2_password for every account, local_infile off, strict mode, TLS
# with the certificates it makes itself at its first start. Only what keeps it to this sandbox
# is set: the address, port and folders, no X protocol listener, a folder for server-side files.
start_mysql() { # name port password
  local name=$1 port=$2 password=$3 tree=$trees/sid
  if [ -n "$(pid_of "$name")" ]; then return 0; fi
  if [ ! -f "$tree/.tabulink-built" ]; then
    echo "MySQL of Debian unstable is not in the sandbox: $(cat "$tree.failed" 2>/dev/null)" >&2
    return 0
  fi
  mkdir -p "$tree/run/tabulink" "$tree/var/lib/tabulink-files"
  local options=(--no-defaults --user=root --datadir=/var/lib/tabulink-mysql)
  if [ ! -d "$tree/var/lib/tabulink-mysql/mysql" ]; then
    rm -rf "$tree/var/lib/tabulink-mysql"
    chroot "$tree" /usr/sbin/mysqld "${options[@]}" --initialize-insecure >"$tree/install.log" 2>&1
  fi
  chroot "$tree" /usr/sbin/mysqld "${options[@]}" --bind-address=127.0.0.1 --port="$port" \
    --socket=/run/tabulink/mysqld.sock --pid-file=/run/tabulink/mysqld.pid --mysqlx=OFF \
    --log-error=/var/lib/tabulink-mysql/error.log --secure-file-priv=/var/lib/tabulink-files >/dev/null 2>&1 &
  local i
  for i in $(seq 1 120); do
    if chroot "$tree" mysqladmin --no-defaults --socket=/run/tabulink/mysqld.sock -uroot ping >/dev/null 2>&1; then break; fi
    sleep 0.5
  done
  chroot "$tree" mysql --no-defaults --socket=/run/tabulink/mysqld.sock -uroot <<SQL
CREATE USER IF NOT EXISTS '$user'@'%' IDENTIFIED BY '$password';
GRANT ALL PRIVILEGES ON *.* TO '$user'@'%' WITH GRANT OPTION;
SQL
}

build_trees() { # both at once, in the background; their pids in builds
  builds=()
  mkdir -p "$trees"
  if [ "$(id -u)" -eq 0 ]; then
    for release in bullseye trixie sid; do
      "$here/server-tree.sh" "$release" "$trees/$release" "$(packages_of "$release")" &
      builds+=($!)
    done
  else
    for release in bullseye trixie sid; do echo "building a server tree needs root" >"$trees/$release.failed"; done
  fi
}

case ${1:-start} in
  trees)
    build_trees
    for build in "${builds[@]}"; do wait "$build" || true; done
    ;;
  start)
    make_certificates
    # The trees build while this machine's servers start: each takes a minute or two, once.
    build_trees
    # Server one: sessions of the ordinary user 'nbe' read backslashes literally (NO_BACKSLASH_ESCAPES).
    start_one one "$port1" "$zone1" "$password1" \
      "--init-connect=SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')"
    # Server two: the strict date rules of a current MySQL.
    start_one two "$port2" "$zone2" "$password2" \
      --sql-mode=STRICT_TRANS_TABLES,NO_ZERO_IN_DATE,NO_ZERO_DATE,ERROR_FOR_DIVISION_BY_ZERO,NO_ENGINE_SUBSTITUTION
    for build in "${builds[@]}"; do wait "$build" || true; done
    start_tree three "$port3" "$password3"
    start_tree four "$port4" "$password4"
    start_mysql five "$port5" "$password5"
    "$here/sandbox-ssh.sh" start "$dir" "$port_ssh"
    [ "${2:-}" = --no-demo ] || demo_data
    ;;
  stop)
    "$here/sandbox-ssh.sh" stop "$dir"
    for name in $instances; do
      pid=$(pid_of "$name")
      if [ -n "$pid" ]; then
        kill "$pid"
        for _ in $(seq 1 60); do kill -0 "$pid" 2>/dev/null || break; sleep 0.5; done
      fi
    done
    ;;
  running)
    [ -n "$(pid_of one)" ] && [ -n "$(pid_of two)" ] ;;
  status)
    for name in $instances; do echo "$name: pid=$(pid_of "$name")"; done
    echo "ssh: pid=$("$here/sandbox-ssh.sh" pid "$dir")" ;;
  env)
    cat <<VARS
TABULINK_HOST=127.0.0.1
TABULINK_PORT1=$port1
TABULINK_PORT2=$port2
TABULINK_USER=$user
TABULINK_PASSWORD1=$password1
TABULINK_PASSWORD2=$password2
TABULINK_PORT3=$port3
TABULINK_PORT4=$port4
TABULINK_PASSWORD3=$password3
TABULINK_PASSWORD4=$password4
TABULINK_PORT5=$port5
TABULINK_PASSWORD5=$password5
TABULINK_MYSQL_CA=$trees/sid/var/lib/tabulink-mysql/ca.pem
TABULINK_TREES_DIR=$trees
TABULINK_SANDBOX_DIR=$dir
TABULINK_TLS_DIR=$dir/tls
TABULINK_SSH_PORT=$port_ssh
TABULINK_SSH_JUMP_PORT=$((port_ssh + 1))
TABULINK_SSH_PASSWORD_PORT=$((port_ssh + 2))
TABULINK_SSH_PASSWORD=sandbox-ssh-pass
TABULINK_SSH_DIR=$dir/ssh
VARS
    ;;
  *) echo "usage: $0 start|stop|status|env" >&2; exit 2 ;;
esac
