#!/usr/bin/env bash
# The score site's tests once more over PostgreSQL: a cluster of its own in a
# temporary folder, listening only on a Unix socket there, owned by the
# postgres user when this runs as root. Each test gets a database of its own
# and finds REEFDART_SCORES_DB pointing at it. The cluster is stopped and
# removed however this ends. Skipped (77) only where PostgreSQL cannot be
# installed or cannot start here.
# Usage: tests/scores_postgres.sh GOOGLE_TEST_PROGRAM [ARGS...]
set -u
[ $# -ge 1 ] || { echo "usage: $0 GOOGLE_TEST_PROGRAM [ARGS...]"; exit 2; }
tests=$1
shift
here=$(cd "$(dirname "$0")" && pwd)

pg_bin() { ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1; }
bin=$(pg_bin)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    . "$here/../scripts/deps.sh"
    need_packages postgresql >/dev/null 2>&1 || { echo "PostgreSQL cannot be installed here"; exit 77; }
    bin=$(pg_bin)
    [ -n "$bin" ] && [ -x "$bin/initdb" ] || { echo "no PostgreSQL server programs after installing"; exit 77; }
fi

# The server refuses to run as root: there it runs as postgres (whom the
# package makes), in a folder that user can reach.
as=()
if [ "$(id -u)" -eq 0 ]; then
    getent passwd postgres >/dev/null || { echo "no postgres user to run the server as"; exit 77; }
    as=(runuser -u postgres --)
fi
# A socket's path is at most 107 bytes; /tmp keeps it short.
base=${TMPDIR:-/tmp}
[ ${#base} -le 60 ] || base=/tmp
dir=$(mktemp -d "$base/reefdart-pg.XXXXXX") || { echo "cannot make a temporary folder"; exit 1; }
if [ ${#as[@]} -gt 0 ]; then
    chown postgres: "$dir"
    if ! "${as[@]}" test -w "$dir"; then
        rm -rf "$dir"
        dir=$(mktemp -d /tmp/reefdart-pg.XXXXXX) && chown postgres: "$dir" || exit 1
    fi
fi
data=$dir/data
# Should this script be killed outright, a watcher of its own session stops
# the server and removes the folder once it is gone.
(setsid bash -c 'tail --pid="$1" -f /dev/null; d=$2 b=$3; shift 3
    [ -f "$d/data/postmaster.pid" ] && "$@" "$b/pg_ctl" -D "$d/data" -m immediate stop
    rm -rf "$d"' watcher $$ "$dir" "$bin" "${as[@]}" </dev/null >/dev/null 2>&1 &)
cleanup() {
    if [ -f "$data/postmaster.pid" ]; then
        "${as[@]}" "$bin/pg_ctl" -D "$data" -m immediate stop >/dev/null 2>&1
    fi
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

started=$SECONDS
"${as[@]}" "$bin/initdb" -D "$data" -U reefdart -A trust -E UTF8 --locale=C --no-sync \
    >"$dir/initdb.log" 2>&1 || { echo "initdb failed: PostgreSQL cannot run here"; cat "$dir/initdb.log"; exit 77; }
# Nothing listens on the network; the data need not outlive the run. pg_ctl
# waits for the server to say it has started (or to die); the time limit only
# bounds one that hangs.
"${as[@]}" "$bin/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 180 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c port=5432 -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=200" \
    start >"$dir/pg_ctl.log" 2>&1 || {
    echo "the PostgreSQL server could not start"
    cat "$dir/pg_ctl.log" "$dir/server.log"
    exit 77
}
# Then ready for connections on its socket.
until "$bin/pg_isready" -q -h "$dir" -p 5432; do
    if ! "${as[@]}" "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
        echo "the PostgreSQL server stopped while starting"
        cat "$dir/server.log"
        exit 77
    fi
    if [ $((SECONDS - started)) -gt 180 ]; then
        echo "the PostgreSQL server was not ready after 180 seconds"
        cat "$dir/server.log"
        exit 1
    fi
    sleep 0.1
done
echo "PostgreSQL $("$bin/postgres" --version | awk '{print $3}') ready in $dir after $((SECONDS - started)) s"

number=0
# Runs the test program with a new database; its arguments follow.
run_on_new_database() {
    number=$((number + 1))
    local db=scores_$number
    "$bin/createdb" -h "$dir" -p 5432 -U reefdart "$db" || { echo "createdb $db failed"; return 1; }
    REEFDART_SCORES_DB="postgresql:///$db?host=$dir&port=5432&user=reefdart" "$tests" "$@" </dev/null
    local code=$?
    "$bin/dropdb" -h "$dir" -p 5432 -U reefdart "$db" >/dev/null 2>&1
    return $code
}

# The tests as SUITE.NAME, one a line, from Google Test's list.
names=$("$tests" --gtest_list_tests 2>/dev/null | awk '
    /^[^ ]/ { suite = $1; next }
    /^  [^ ]/ { print suite $1 }')
[ -n "$names" ] || { echo "$tests lists no tests"; exit 1; }
failed=()
while read -r name; do
    run_on_new_database --gtest_filter="$name" "$@" || failed+=("$name")
done <<<"$names"
echo "$number test(s) over PostgreSQL in $((SECONDS - started)) s"
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed over PostgreSQL: ${failed[*]}"
    exit 1
fi
