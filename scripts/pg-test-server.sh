#!/usr/bin/env bash
# A private PostgreSQL server for the tests.
#
#   pg-test-server.sh start  STATE_DIR   initdb a fresh cluster in a temporary folder, start it on a
#                                        free loopback port, write STATE_DIR/pg.env
#   pg-test-server.sh stop   STATE_DIR   stop the server and remove its cluster folder
#   pg-test-server.sh pause  STATE_DIR   stop the server, keep the cluster (for fault tests)
#   pg-test-server.sh resume STATE_DIR   start a paused server again on the same port
#
# All four are safe to repeat. STATE_DIR/pg.env holds KEY=VALUE lines:
#   CARVELA_PG_HOST, CARVELA_PG_PORT, CARVELA_PG_USER, CARVELA_PG_PASSWORD, CARVELA_PG_CLUSTER,
#   CARVELA_PG_DATA (the data directory inside the cluster folder), CARVELA_PG_BIN (the server's bin dir).
#
# As root the cluster belongs to the user "postgres" (the server refuses to run as root); otherwise to
# the current user. The superuser is always "postgres": password over TCP (scram-sha-256), trust on the
# unix socket, which lives in the cluster folder. Durability is switched off: this is a test server
# (CARVELA_PG_DURABLE=1 at start switches it on, as the benchmark wants).
# Environment: CARVELA_PG_BIN overrides the server's bin dir; CARVELA_PG_FIRST_PORT (default 55432).
set -euo pipefail

readonly PASSWORD="carvela-test"
readonly SUPERUSER="postgres"
readonly CLUSTER_PREFIX="carvela-pg."

die() {
    echo "pg-test-server: $*" >&2
    exit 1
}
note() { echo "pg-test-server: $*"; }

usage() {
    echo "usage: $0 start|stop|pause|resume STATE_DIR" >&2
    exit 2
}

# The newest installed server, unless CARVELA_PG_BIN names one.
find_bin_dir() {
    if [[ -n "${CARVELA_PG_BIN:-}" ]]; then
        [[ -x "$CARVELA_PG_BIN/pg_ctl" ]] || die "CARVELA_PG_BIN=$CARVELA_PG_BIN has no pg_ctl"
        echo "$CARVELA_PG_BIN"
        return
    fi
    local dir
    dir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
    if [[ -z "$dir" ]] && command -v pg_ctl >/dev/null; then
        dir=$(dirname "$(command -v pg_ctl)")
    fi
    [[ -n "$dir" && -x "$dir/initdb" && -x "$dir/pg_ctl" ]] ||
        die "no PostgreSQL server found (looked in /usr/lib/postgresql/*/bin); run scripts/install-deps.sh"
    echo "$dir"
}

is_root() { [[ "$(id -u)" -eq 0 ]]; }

# Runs a command as the cluster's owner, from a folder that owner can enter.
as_owner() {
    local dir="$1"
    shift
    if is_root; then
        (cd "$dir" && runuser -u postgres -- "$@")
    else
        (cd "$dir" && "$@")
    fi
}

# Reads one KEY from an env file written by this script (never sourced).
env_value() {
    local file="$1" key="$2"
    sed -n "s/^${key}=//p" "$file" | tail -n 1
}

port_in_use() {
    local port="$1"
    # A connect that succeeds means someone listens there.
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
}

# Stops the server of a cluster folder if it runs. $2: "fast" or "immediate".
stop_cluster_server() {
    local cluster="$1" bin="$2"
    local data="$cluster/data"
    [[ -f "$data/postmaster.pid" ]] || return 0
    if ! as_owner "$cluster" "$bin/pg_ctl" -D "$data" stop -m fast -w -t 60 >/dev/null 2>&1; then
        as_owner "$cluster" "$bin/pg_ctl" -D "$data" stop -m immediate -w -t 30 >/dev/null 2>&1 || true
    fi
    # Still there (pg_ctl could not reach it)? End the postmaster by the pid it recorded.
    if [[ -f "$data/postmaster.pid" ]]; then
        local pid
        pid=$(head -n 1 "$data/postmaster.pid" 2>/dev/null || true)
        if [[ "$pid" =~ ^[0-9]+$ ]] && kill -0 "$pid" 2>/dev/null; then
            kill -QUIT "$pid" 2>/dev/null || true
            for _ in $(seq 1 50); do
                kill -0 "$pid" 2>/dev/null || break
                sleep 0.1
            done
        fi
    fi
}

remove_cluster() {
    local cluster="$1"
    # Only ever remove a folder this script made.
    case "$cluster" in
        /tmp/"$CLUSTER_PREFIX"*) rm -rf -- "$cluster" ;;
        *) note "not removing unexpected cluster folder '$cluster'" ;;
    esac
}

cmd_stop() {
    local state="$1"
    local envfile="$state/pg.env"
    if [[ ! -f "$envfile" ]]; then
        note "no server recorded in $state; nothing to stop"
        return 0
    fi
    local cluster bin
    cluster=$(env_value "$envfile" CARVELA_PG_CLUSTER)
    bin=$(env_value "$envfile" CARVELA_PG_BIN)
    [[ -n "$bin" ]] || bin=$(find_bin_dir)
    if [[ -n "$cluster" && -d "$cluster" ]]; then
        stop_cluster_server "$cluster" "$bin"
        remove_cluster "$cluster"
        note "stopped; removed $cluster"
    else
        note "cluster folder '${cluster}' already gone"
    fi
    rm -f -- "$envfile"
}

cmd_pause() {
    local state="$1"
    local envfile="$state/pg.env"
    [[ -f "$envfile" ]] || die "no server recorded in $state"
    local cluster bin
    cluster=$(env_value "$envfile" CARVELA_PG_CLUSTER)
    bin=$(env_value "$envfile" CARVELA_PG_BIN)
    [[ -d "$cluster/data" ]] || die "cluster folder '$cluster' is gone"
    stop_cluster_server "$cluster" "$bin"
    note "paused"
}

cmd_resume() {
    local state="$1"
    local envfile="$state/pg.env"
    [[ -f "$envfile" ]] || die "no server recorded in $state"
    local cluster bin
    cluster=$(env_value "$envfile" CARVELA_PG_CLUSTER)
    bin=$(env_value "$envfile" CARVELA_PG_BIN)
    [[ -d "$cluster/data" ]] || die "cluster folder '$cluster' is gone"
    if as_owner "$cluster" "$bin/pg_ctl" -D "$cluster/data" status >/dev/null 2>&1; then
        note "already running"
        return 0
    fi
    as_owner "$cluster" "$bin/pg_ctl" -D "$cluster/data" -l "$cluster/server.log" -w -t 60 start >/dev/null ||
        { tail -n 20 "$cluster/server.log" >&2 || true; die "could not resume the server"; }
    note "resumed"
}

START_CLUSTER=""
START_BIN=""
abandon_start() {
    local status=$?
    if [[ -n "$START_CLUSTER" ]]; then
        stop_cluster_server "$START_CLUSTER" "$START_BIN"
        remove_cluster "$START_CLUSTER"
        echo "pg-test-server: start failed; removed $START_CLUSTER" >&2
    fi
    exit "$status"
}

cmd_start() {
    local state="$1"
    mkdir -p -- "$state"
    state=$(cd "$state" && pwd)
    local envfile="$state/pg.env"

    # A server left behind by an interrupted run goes first.
    if [[ -f "$envfile" ]]; then
        note "stopping the server left by an earlier run"
        cmd_stop "$state"
    fi

    local bin
    bin=$(find_bin_dir)
    if is_root; then
        getent passwd postgres >/dev/null || die "user 'postgres' does not exist (install postgresql)"
        command -v runuser >/dev/null || die "runuser is missing (install util-linux)"
    fi

    local cluster
    cluster=$(mktemp -d "/tmp/${CLUSTER_PREFIX}XXXXXXXX")
    # From here on, a failure (or an interrupt) removes the half-made cluster.
    START_CLUSTER="$cluster"
    START_BIN="$bin"
    trap abandon_start EXIT
    chmod 700 "$cluster"
    if is_root; then chown postgres:postgres "$cluster"; fi

    local data="$cluster/data"
    local pwfile="$cluster/pwfile"
    (umask 077 && printf '%s\n' "$PASSWORD" >"$pwfile")
    if is_root; then chown postgres:postgres "$pwfile"; fi

    if ! as_owner "$cluster" "$bin/initdb" -D "$data" -U "$SUPERUSER" --pwfile="$pwfile" \
        --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --locale=C.UTF-8 --lc-messages=C \
        --no-sync >"$cluster/initdb.log" 2>&1; then
        cat "$cluster/initdb.log" >&2
        false
    fi
    rm -f -- "$pwfile"

    # CARVELA_PG_DURABLE=1 keeps the durability of a production server (the benchmark).
    local durable=off
    [[ "${CARVELA_PG_DURABLE:-0}" == 1 ]] && durable=on
    cat >>"$data/postgresql.conf" <<EOF

# --- private test server ---
listen_addresses = '127.0.0.1'
unix_socket_directories = '$cluster'
fsync = $durable
synchronous_commit = $durable
full_page_writes = $durable
max_connections = 200
password_encryption = 'scram-sha-256'
logging_collector = off
log_min_messages = warning
EOF

    local first="${CARVELA_PG_FIRST_PORT:-55432}"
    local port="" candidate started=0
    for ((candidate = first; candidate < first + 200; candidate++)); do
        port_in_use "$candidate" && continue
        # The last "port =" line wins.
        echo "port = $candidate" >>"$data/postgresql.conf"
        if as_owner "$cluster" "$bin/pg_ctl" -D "$data" -l "$cluster/server.log" -w -t 60 start \
            >/dev/null 2>&1; then
            port="$candidate"
            started=1
            break
        fi
        # Another server took the port between the check and the start: try the next one.
        if grep -qiE 'could not (bind|create listen socket)|address already in use' "$cluster/server.log" 2>/dev/null; then
            stop_cluster_server "$cluster" "$bin"
            : >"$cluster/server.log"
            continue
        fi
        tail -n 30 "$cluster/server.log" >&2 || true
        false
    done
    ((started)) || { echo "no free port in $first..$((first + 199))" >&2; false; }

    # The way the tests will come in: TCP, password.
    if ! PGPASSWORD="$PASSWORD" PGCONNECT_TIMEOUT=10 "$bin/psql" -X -q -w -h 127.0.0.1 -p "$port" \
        -U "$SUPERUSER" -d postgres -c 'SELECT 1' >/dev/null; then
        echo "server started but a password login over TCP failed" >&2
        false
    fi

    local tmp="$envfile.tmp.$$"
    cat >"$tmp" <<EOF
CARVELA_PG_HOST=127.0.0.1
CARVELA_PG_PORT=$port
CARVELA_PG_USER=$SUPERUSER
CARVELA_PG_PASSWORD=$PASSWORD
CARVELA_PG_CLUSTER=$cluster
CARVELA_PG_DATA=$data
CARVELA_PG_BIN=$bin
EOF
    mv -f -- "$tmp" "$envfile"
    START_CLUSTER=""
    trap - EXIT
    note "$("$bin/postgres" --version) on 127.0.0.1:$port, cluster $cluster"
}

trap 'exit 130' INT
trap 'exit 143' TERM
(($# == 2)) || usage
case "$1" in
    start) cmd_start "$2" ;;
    stop) cmd_stop "$2" ;;
    pause) cmd_pause "$2" ;;
    resume) cmd_resume "$2" ;;
    *) usage ;;
esac
