#!/usr/bin/env bash
# The score site's tests once more over PostgreSQL: a cluster of its own on a
# Unix socket in a temporary folder (run as postgres when this runs as root),
# a new database for each test, named by REEFDART_SCORES_DB. Skipped (77) only
# where PostgreSQL cannot be installed or cannot start here.
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

# The server refuses to run as root; a socket's path is at most 107 bytes.
as=()
if [ "$(id -u)" -eq 0 ]; then
    getent passwd postgres >/dev/null || { echo "no postgres user to run the server as"; exit 77; }
    as=(runuser -u postgres --)
fi
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
# The server is stopped and the folder removed however this ends: should this
# script be killed outright, a watcher in a session of its own does it.
(setsid bash -c 'tail --pid="$1" -f /dev/null; d=$2 b=$3; shift 3
    [ -f "$d/data/postmaster.pid" ] && "$@" "$b/pg_ctl" -D "$d/data" -m immediate stop
    rm -rf "$d"' watcher $$ "$dir" "$bin" "${as[@]}" </dev/null >/dev/null 2>&1 &)
cleanup() {
    [ -f "$data/postmaster.pid" ] && "${as[@]}" "$bin/pg_ctl" -D "$data" -m immediate stop >/dev/null 2>&1
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

started=$SECONDS
fail77() { echo "$1"; cat "$dir"/*.log; exit 77; }
"${as[@]}" "$bin/initdb" -D "$data" -U reefdart -A trust -E UTF8 --locale=C --no-sync \
    >"$dir/initdb.log" 2>&1 || fail77 "initdb failed: PostgreSQL cannot run here"
# Nothing on the network, nothing kept; pg_ctl waits for the server to start
# (or die), its time limit only bounds one that hangs.
"${as[@]}" "$bin/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 180 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c port=5432 -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=200" \
    start >"$dir/pg_ctl.log" 2>&1 || fail77 "the PostgreSQL server could not start"
until "$bin/pg_isready" -q -h "$dir" -p 5432; do
    "${as[@]}" "$bin/pg_ctl" -D "$data" status >/dev/null 2>&1 || fail77 "the PostgreSQL server stopped while starting"
    [ $((SECONDS - started)) -le 180 ] || { echo "not ready after 180 s"; cat "$dir/server.log"; exit 1; }
    sleep 0.1
done
echo "PostgreSQL $("$bin/postgres" --version | awk '{print $3}') ready in $dir after $((SECONDS - started)) s"

# Each test (SUITE.NAME from Google Test's list) on a new database.
names=$("$tests" --gtest_list_tests 2>/dev/null | awk '/^[^ ]/ { suite = $1; next } /^  [^ ]/ { print suite $1 }')
[ -n "$names" ] || { echo "$tests lists no tests"; exit 1; }
number=0
failed=()
while read -r name; do
    number=$((number + 1))
    db=scores_$number
    pg=(-h "$dir" -p 5432 -U reefdart)
    "$bin/createdb" "${pg[@]}" "$db" || { echo "createdb $db failed"; failed+=("$name"); continue; }
    REEFDART_SCORES_DB="postgresql:///$db?host=$dir&port=5432&user=reefdart" "$tests" \
        --gtest_filter="$name" "$@" </dev/null || failed+=("$name")
    "$bin/dropdb" "${pg[@]}" "$db" >/dev/null 2>&1
done <<<"$names"
echo "$number test(s) over PostgreSQL in $((SECONDS - started)) s"
if [ ${#failed[@]} -gt 0 ]; then
    echo "failed over PostgreSQL: ${failed[*]}"
    exit 1
fi
