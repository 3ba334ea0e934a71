#!/usr/bin/env bash
# The desktop game under Xvfb: the GL presenter tests; the window shows a picture; SIGINT and
# SIGTERM end it with code 0 and all six settings files saved. Skipped (77) without Xvfb.
set -u
exe=$1
command -v xvfb-run >/dev/null && command -v import >/dev/null || { echo "no Xvfb or ImageMagick"; exit 77; }
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# X and GL libraries leave leaks with no module to name; the unit tests check the game's.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

# The files each case must end with: French, music 40, effects 20, a career, six keys.
# shellcheck disable=SC2034
own=(record.dat:04242 sound.dat:15030 career.dat:43155419
     keys.dat:139137 keys2.dat:127182 keys3.dat:140138)
# shellcheck disable=SC2034
empty=(record.dat:00000 sound.dat:27442 career.dat:32102210
       keys.dat:090090 keys2.dat:090090 keys3.dat:090090)

failed=0
REEFDART_X11_TESTS=1 SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$(dirname "$exe")/reefdart_tests_desktop" --gtest_filter='PresenterOnX11/*' >"$dir/gl" 2>&1 ||
    { cat "$dir/gl"; failed=1; }
grep -q "SKIPPED" "$dir/gl" && echo "no accelerated renderer: the GL presenter tests skipped"

run() { # signal case
    local signal=$1 case=$2 data="$dir/$1-$2"
    mkdir -p "$data"
    local -n expected=$case
    if [ "$case" = own ]; then
        for entry in "${expected[@]}"; do printf '%s' "${entry#*:}" >"$data/${entry%%:*}"; done
    fi
    # Signalled once the window shows more than one colour (or after 45 s); SIGINT at its
    # default as in a terminal, not ignored as in a script's background job.
    xvfb-run -a -s "-screen 0 640x800x24" bash -c "
        SDL_AUDIODRIVER=dummy env --default-signal=INT,TERM '$exe' --data-dir '$data' \\
            --scale 2 2>'$data.log' & pid=\$!
        while [ \$SECONDS -lt 45 ]; do
            import -window root '$data.png' 2>/dev/null && [ \"\$(convert '$data.png' \\
                -crop 480x640+80+80 +repage -unique-colors -format %w info:)\" -ge 2 ] &&
                { touch '$data.shown'; break; }
            sleep 0.1
        done
        kill -$signal \$pid
        for i in \$(seq 100); do kill -0 \$pid 2>/dev/null || break; sleep 0.1; done
        if kill -0 \$pid 2>/dev/null; then
            kill -KILL \$pid; wait \$pid; echo 'still running 10 s after the signal' >'$data.code'
        else
            wait \$pid; echo \$? >'$data.code'
        fi
    " || { echo "$signal $case: xvfb-run failed"; cat "$data.log"; failed=1; return; }
    [ -e "$data.shown" ] || { echo "$signal $case: the window area shows a single colour"; failed=1; }
    local code
    code=$(cat "$data.code" 2>/dev/null || echo none)
    [ "$code" = 0 ] || { echo "$signal $case: the game ended with $code"; cat "$data.log"; failed=1; }
    for entry in "${expected[@]}"; do
        local name=${entry%%:*} want=${entry#*:} got
        got=$(cat "$data/$name" 2>/dev/null || echo missing)
        [ "$got" = "$want" ] || { echo "$signal $case: $name holds '$got', not '$want'"; failed=1; }
    done
    local extra
    extra=$(find "$data" -mindepth 1 -printf '%f\n' | grep -vxE '(record|sound|career|keys2?|keys3)\.dat')
    [ -z "$extra" ] || { echo "$signal $case: left behind: $extra"; failed=1; }
}

for signal in INT TERM; do
    for case in empty own; do run "$signal" "$case"; done
done
mkdir -p "${TEST_OUTPUT_DIR:-/tmp}" && cp "$dir/INT-empty.png" "${TEST_OUTPUT_DIR:-/tmp}/reefdart-xvfb.png"
[ "$failed" = 0 ] && echo "window shown; SIGINT and SIGTERM: exit code 0, all six files saved"
exit "$failed"
