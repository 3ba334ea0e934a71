#!/usr/bin/env bash
# SIGINT and SIGTERM close the desktop game as its close button does: it ends
# with exit code 0 and all six settings files saved. Each signal is sent once
# to a game started on an empty data folder and once to one whose files hold
# settings of their own, which must come back unchanged. Skipped (77) where
# Xvfb is missing.
set -u
exe=$1
command -v xvfb-run >/dev/null || { echo "no Xvfb"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# The X server's client libraries leave allocations that no longer have a
# module to name; the game's own leaks are checked by the unit tests.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

# The files each case must end with (read through a name reference below).
# shellcheck disable=SC2034
# French, music 40, effects 20; a career of its own; six configured keys.
own=(record.dat:04242 sound.dat:15030 career.dat:43155419
     keys.dat:139137 keys2.dat:127182 keys3.dat:140138)
# shellcheck disable=SC2034
empty=(record.dat:00000 sound.dat:27442 career.dat:32102210
       keys.dat:090090 keys2.dat:090090 keys3.dat:090090)

failed=0
run() { # signal case
    local signal=$1 case=$2 data="$dir/$1-$2"
    mkdir -p "$data"
    local -n expected=$case
    if [ "$case" = own ]; then
        for entry in "${expected[@]}"; do printf '%s' "${entry#*:}" >"$data/${entry%%:*}"; done
    fi
    # A background job of a script starts with SIGINT ignored; a game started
    # from a terminal has it at its default, and so does this one.
    xvfb-run -a -s "-screen 0 640x800x24" bash -c "
        SDL_AUDIODRIVER=dummy env --default-signal=INT,TERM '$exe' --data-dir '$data' \\
            --scale 1 2>'$data.log' & pid=\$!
        sleep 3
        kill -$signal \$pid
        for i in \$(seq 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
        if kill -0 \$pid 2>/dev/null; then
            kill -KILL \$pid; wait \$pid; echo 'still running 10 s after the signal' >'$data.code'
        else
            wait \$pid; echo \$? >'$data.code'
        fi
    " || { echo "$signal $case: xvfb-run failed"; cat "$data.log"; failed=1; return; }
    local code
    code=$(cat "$data.code" 2>/dev/null || echo none)
    [ "$code" = 0 ] || { echo "$signal $case: the game ended with $code"; cat "$data.log"; failed=1; }
    for entry in "${expected[@]}"; do
        local name=${entry%%:*} want=${entry#*:} got
        got=$(cat "$data/$name" 2>/dev/null || echo missing)
        [ "$got" = "$want" ] || { echo "$signal $case: $name holds '$got', not '$want'"; failed=1; }
    done
    local path
    for path in "$data"/* "$data"/.[!.]*; do
        [ -e "$path" ] || continue
        case "${path##*/}" in
        record.dat | sound.dat | career.dat | keys.dat | keys2.dat | keys3.dat) ;;
        *) echo "$signal $case: left behind: ${path##*/}"; failed=1 ;;
        esac
    done
}

for signal in INT TERM; do
    for case in empty own; do run "$signal" "$case"; done
done
[ "$failed" = 0 ] && echo "SIGINT and SIGTERM: exit code 0, all six files saved"
exit "$failed"
