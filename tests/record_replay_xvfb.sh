#!/usr/bin/env bash
# A desktop session under Xvfb, driven with xdotool and kept with --record,
# replays on the headless host to the same files and a frame equal to the
# window at game over; the desktop's own game replay verifies to the score
# shown and, watched in the window, ends on the headless watch's last frame.
# Skipped (77) where Xvfb, xdotool or ImageMagick is missing.
set -u
exe=$1
for tool in xvfb-run xdotool xwd convert compare; do
    command -v $tool >/dev/null || { echo "no $tool"; exit 77; }
done
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
# See desktop_xvfb.sh: the X libraries' own leaks have no module left to name.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"

cat >"$dir/drive.sh" <<'DRIVE'
set -u
exe=$1 dir=$2
SDL_AUDIODRIVER=dummy "$exe" --record "$dir/rec.txt" --data-dir "$dir/desktop" --scale 1 \
    2>"$dir/log" &
pid=$!
wid=$(xdotool search --sync --name '^Reefdart$' | head -1)
sleep 4 # the splash, then the title
send() { xdotool "$1" --window "$wid" "${@:2}"; }
xdotool mousemove --window "$wid" 115 189 click 1 # SETTINGS
sleep 0.5
xdotool mousemove --window "$wid" 105 269 click 1 # BACK
sleep 0.5
xdotool mousemove --window "$wid" 113 146 click 1 # PLAY
sleep 1
send keydown Up; sleep 0.4; send keyup Up
sleep 0.3
send keydown Up; sleep 0.3; send keyup Up
sleep 6 # the fish hits the floor; the game-over screen
xwd -id "$wid" -silent >"$dir/window.xwd"
kill -TERM $pid
wait $pid
echo $? >"$dir/code"
DRIVE
xvfb-run -a -s "-screen 0 640x800x24" bash "$dir/drive.sh" "$exe" "$dir" ||
    { echo "xvfb-run failed"; cat "$dir/log"; exit 1; }
code=$(cat "$dir/code" 2>/dev/null || echo none)
[ "$code" = 0 ] || { echo "the desktop game ended with $code"; cat "$dir/log"; exit 1; }
grep -q '^stylus-down ' "$dir/rec.txt" && grep -q '^press UP' "$dir/rec.txt" ||
    { echo "the recording lacks the stylus or the keys:"; cat "$dir/rec.txt"; exit 1; }

# Shots every 5 ms over the 1.5 s before the close, when the window was grabbed.
awk -v dir="$dir" '
    { lines[NR] = $0 }
    END {
        last = NR; while (lines[last] != "deactivate") last--
        for (i = 1; i < last - 1; i++) print lines[i]
        split(lines[last - 1], w, " "); start = w[2] - 1500
        if (start < 0) start = 0
        print "wait " start
        for (t = 0; t < 300; t++) { print "wait 5"; printf "shot %s/shot-%03d.png\n", dir, t }
        print "deactivate"
    }' "$dir/rec.txt" >"$dir/replay.txt"
"$exe" --headless "$dir/replay.txt" --data-dir "$dir/headless" 2>"$dir/replay.log" ||
    { echo "the replay failed"; cat "$dir/replay.log"; exit 1; }

for f in record.dat sound.dat career.dat keys.dat keys2.dat keys3.dat; do
    cmp -s "$dir/desktop/$f" "$dir/headless/$f" ||
        { echo "$f differs: '$(cat "$dir/desktop/$f")' against '$(cat "$dir/headless/$f")'"; exit 1; }
done
[ "$(cat "$dir/headless/record.dat")" != 00000 ] || { echo "no score was made"; exit 1; }

# SDL widens 5-6-5 to 8 bits by truncation, the headless shots by bit
# replication: they may differ by one level in a channel (under 1%).
same() { [ "$(compare -metric AE -fuzz 1% "$1" "$2" null: 2>&1)" = 0 ]; }
convert "$dir/window.xwd" "$dir/window.png"
found=
for shot in "$dir"/shot-*.png; do
    same "$dir/window.png" "$shot" && found=$(basename "$shot") && break
done
[ -n "$found" ] || { echo "no headless frame equals the window"; exit 1; }
echo "replayed: same files (best score $(cat "$dir/headless/record.dat")), window = $found"

# The desktop's replay of its best game: the record file's score, and the
# same game as the headless replay of the session.
best=$(sed 's/^0*//' "$dir/desktop/record.dat")
"$exe" --verify "$dir/desktop/bestgame.rdr" >"$dir/verify.txt" ||
    { echo "the desktop's replay does not verify:"; cat "$dir/verify.txt"; exit 1; }
grep -q ": a score of ${best:-0} in " "$dir/verify.txt" ||
    { echo "the replay's score is not the game's ($best):"; cat "$dir/verify.txt"; exit 1; }
"$exe" --verify "$dir/headless/bestgame.rdr" >"$dir/verify-headless.txt"
[ "$(sed 's/^[^:]*://' "$dir/verify.txt")" = "$(sed 's/^[^:]*://' "$dir/verify-headless.txt")" ] ||
    { echo "the desktop and headless replays differ:"; cat "$dir/verify.txt" "$dir/verify-headless.txt"; exit 1; }
[ "$(od -An -tu1 -j6 -N1 "$dir/desktop/bestgame.rdr" | tr -d ' ')" = 1 ] ||
    { echo "the desktop's replay does not name the desktop edition"; exit 1; }

# The headless watch's last frame, then the desktop window watched until it
# shows that frame (a minute at most), then Escape.
printf 'wait 60000\nshot %s/watched.png\n' "$dir" >"$dir/watch.txt"
"$exe" --headless "$dir/watch.txt" --data-dir "$dir/watch-headless" \
    --watch "$dir/desktop/bestgame.rdr" 2>"$dir/watch.log" ||
    { echo "the headless watch failed"; cat "$dir/watch.log"; exit 1; }
cp -r "$dir/desktop" "$dir/watcher"
cat >"$dir/watch.sh" <<'WATCH'
set -u
exe=$1 dir=$2
same() { [ "$(compare -metric AE -fuzz 1% "$1" "$2" null: 2>&1)" = 0 ]; }
SDL_AUDIODRIVER=dummy "$exe" --watch "$dir/desktop/bestgame.rdr" --data-dir "$dir/watcher" \
    --scale 1 2>"$dir/watch-log" &
pid=$!
wid=$(xdotool search --sync --name '^Reefdart$' | head -1)
for _ in $(seq 120); do
    xwd -id "$wid" -silent >"$dir/watching.xwd" && convert "$dir/watching.xwd" "$dir/watching.png" &&
        same "$dir/watching.png" "$dir/watched.png" && { echo same >"$dir/seen"; break; }
    sleep 0.5
done
xdotool key --window "$wid" Escape
wait $pid
echo $? >"$dir/watch-code"
WATCH
xvfb-run -a -s "-screen 0 640x800x24" bash "$dir/watch.sh" "$exe" "$dir" ||
    { echo "xvfb-run failed"; cat "$dir/watch-log"; exit 1; }
[ -f "$dir/seen" ] || { echo "the watched window never showed the game's last frame"; exit 1; }
[ "$(cat "$dir/watch-code")" = 0 ] || { echo "the watch ended with $(cat "$dir/watch-code")"; exit 1; }
cmp -s "$dir/desktop/record.dat" "$dir/watcher/record.dat" || { echo "watching changed the record"; exit 1; }
echo "the desktop's replay verifies to $best and watches to the game's last frame"
