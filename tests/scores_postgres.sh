#!/usr/bin/env bash
# The score site's tests over a PostgreSQL cluster of its own (a Unix socket in a temporary
# folder), a new database per test; skipped (77) where PostgreSQL cannot be installed or start.
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

# The server refuses to run as root (it runs as postgres, in /tmp); a socket path is <= 107 bytes.
as=()
if [ "$(id -u)" -eq 0 ]; then
    getent passwd postgres >/dev/null || { echo "no postgres user to run the server as"; exit 77; }
    as=(runuser -u postgres --)
fi
base=${TMPDIR:-/tmp}
[ ${#base} -le 60 ] && [ ${#as[@]} -eq 0 ] || base=/tmp
dir=$(mktemp -d "$base/reefdart-pg.XXXXXX") || { echo "cannot make a temporary folder"; exit 1; }
[ ${#as[@]} -eq 0 ] || chown postgres: "$dir" || exit 1
data=$dir/data
# Stopped and removed however this ends; if this is killed outright, a watcher does it.
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
# Nothing on the network, nothing kept; pg_ctl -w returns once it accepts connections.
"${as[@]}" "$bin/pg_ctl" -D "$data" -l "$dir/server.log" -w -t 180 \
    -o "-c listen_addresses='' -c unix_socket_directories='$dir' -c port=5432 -c fsync=off -c full_page_writes=off -c synchronous_commit=off -c max_connections=200" \
    start >"$dir/pg_ctl.log" 2>&1 || fail77 "the PostgreSQL server could not start"
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
