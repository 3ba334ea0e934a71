#!/usr/bin/env python3
"""Seeds realistic faults into the game and its platform one at a time and counts how many the
test suite catches.

Each fault changes one line (a constant, a bound, an order, a dropped
line) of the game's rules, its drawing, its files or its platform; the tool applies it, rebuilds, runs the tests (all
but the slow X server, browser, benchmark and soak ones), notes whether any
test failed, and puts the file back, also when it is interrupted.

    tools/mutation_check.py [--build DIR] [--list] [ID ...]

Prints one line a fault and, at the end, "caught N of M" with the survivors:
a survivor is a rule no test pins. Run it before and after a change to the
tests; the count must not drop. It takes about a minute a fault.
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (id, file, text to find (exactly once), replacement, what the fault is)
FAULTS = [
    ("hit-cost", "game/world.h", "HIT_COST = 10;", "HIT_COST = 4;",
     "a wall or obstacle costs 4 energy, not 10"),
    ("start-speed", "game/world.h", "START_SPEED = 6.0f;", "START_SPEED = 5.0f;",
     "the cave starts at 5 columns a second"),
    ("speed-growth", "game/world.cpp", "dt * 0.0025", "dt * 0.0035",
     "the cave speeds up by 0.35 % a second"),
    ("rise-rate", "game/fish.cpp", "frameDt * 0.15;", "frameDt * 0.16;",
     "the rise control accelerates by 0.16 x speed"),
    ("obstacle-every", "game/cave.cpp", "w.columnCount % 7 == 0", "w.columnCount % 8 == 0",
     "an obstacle every eighth column"),
    ("bounce", "game/fish.cpp",
     "if (d > 0 && w.fishVelocity > 0) w.fishVelocity = -w.fishVelocity * 0.5f;",
     "if (d > 0 && w.fishVelocity > 0) w.fishVelocity = -w.fishVelocity * 0.25f;",
     "the ceiling bounce keeps a quarter of the speed"),
    ("wall-margin", "game/fish.cpp", "w.caveHalfHeight - 0.02;", "w.caveHalfHeight - 0.03;",
     "the wall test's margin is 0.03"),
    ("grace-off-by-one", "game/cave.cpp", "if (w.hitCooldown > 0) w.hitCooldown -= 1;",
     "if (w.hitCooldown > 1) w.hitCooldown -= 1;", "the grace never runs out"),
    ("get-ready", "game/world.cpp", "return gameSeconds <= 0 && gameMinutes <= 0;",
     "return gameSeconds < 0 && gameMinutes <= 0;", "no get-ready second"),
    ("obstacle-box", "game/world.h", "OBSTACLE_HIT_ABOVE = 33.0;", "OBSTACLE_HIT_ABOVE = 35.0;",
     "the obstacle box two pixels taller"),
    ("score-per-column", "game/game.h", "SCORE_PER_COLUMN = 7;", "SCORE_PER_COLUMN = 6;",
     "six points a column"),
    ("record-in-sight", "game/score.cpp", "score < bestScore + 100;", "score < bestScore + 101;",
     "the record in sight one point longer"),
    ("blink", "game/game_screen.cpp", "msSinceSecond % 500 < 250;", "msSinceSecond % 500 < 200;",
     "\"New Record!\" blinks shorter"),
    ("score-code", "game/score_code.cpp", "int32_t check = (x / SCORE_CODE_K3) % 10;",
     "int32_t check = (x / SCORE_CODE_K3 + 1) % 10;", "the check digit off by one"),
    ("dt-cap", "shell/state.h", "FRAME_DT_CAP_MS = 50;", "FRAME_DT_CAP_MS = 40;",
     "frameDt capped at 40 ms"),
    ("seconds-clock", "shell/state.cpp", "if (msSinceSecond <= 1000) return;",
     "if (msSinceSecond < 1000) return;", "the seconds clock one millisecond early"),
    ("cursor-wrap", "shell/input.cpp", "if (menuCursor < 0) menuCursor = 3;",
     "if (menuCursor < 0) menuCursor = 0;", "the cursor does not wrap upwards"),
    ("capture-count", "shell/input.cpp", "if (++keyCaptureIndex == 4) keyCaptureActive = 0;",
     "if (++keyCaptureIndex == 3) keyCaptureActive = 0;", "key capture ends after three keys"),
    ("exit-keeps-effects", "shell/screen_state.cpp", "if (gameWasRunning) speaker.stopSounds();",
     "", "leaving a game keeps the effects playing"),
    ("sound-file", "persist/settings.cpp", "speaker.volumeSounds() + 11010;",
     "speaker.volumeSounds() + 11000;", "sound.dat's offsets changed"),
    ("keys-file", "persist/settings.cpp", "writeNumber(name, 1000 * high + low + 100100, 6);",
     "writeNumber(name, 1000 * low + high + 100100, 6);", "the key files' pairs swapped"),
    ("record-digits", "persist/settings.cpp", "writeNumber(\"record.dat\", bestScore, 5);",
     "writeNumber(\"record.dat\", bestScore, 6);", "record.dat written with six digits"),
    ("volume-step", "sound/sound.cpp", "+ 2u * static_cast<uint32_t>(step);",
     "+ 3u * static_cast<uint32_t>(step);", "the effects volume steps by 3"),
    ("tap-box", "frontend/frontend.cpp", "if (37 < tapX && tapX < 200", "if (37 < tapX && tapX < 190",
     "menu items take taps 10 pixels less wide"),
    ("text-centre", "gfx/text.cpp", "x0 = x - sum / 2;", "x0 = x - sum / 2 + 1;",
     "centred text one pixel to the right"),
    ("clip-right", "gfx/blit.cpp",
     "clipped->w = std::min<int64_t>(clipped->w, screenWidth - clipped->x);",
     "clipped->w = std::min<int64_t>(clipped->w, screenWidth + 1 - clipped->x);",
     "blits clipped one pixel past the right edge"),
    ("colour-565", "gfx/surface.cpp", "(r & 0xF8) << 8 | (g & 0xF8) << 3 | (b >> 3)",
     "(r & 0xF8) << 8 | (g & 0xFC) << 3 | (b >> 3)", "green keeps a bit too many in 5-6-5"),
    ("parse-overflow", "persist/settings.cpp", "if (value > INT32_MAX) {",
     "if (value > INT32_MAX + 1LL) {", "a settings number one past the 32-bit range is read"),
    ("desktop-z", "platform/desktop/keys.cpp", "return DEVICE_BUTTON_A;",
     "return DEVICE_BUTTON_B;", "the desktop's Z key gives the B button"),
    ("mixer-saturate", "platform/hss/hss.cpp", "if (value > 32767) return 32767;",
     "if (value > 32767) return -32768;", "a loud mix wraps round instead of saturating"),
    ("tint-shift", "gfx/blit.cpp", "uint32_t t = ((spreadColour - a) * level) >> 5;",
     "uint32_t t = ((spreadColour - a) * level) >> 4;", "the tint blends twice as strongly"),
    # graphics
    ("wide-smooth-short", "gfx/blit_wide.cpp", "lanesBelow(end - 1)));", "lanesBelow(end)));",
     "the AVX2 smoothing of a short line also smooths its last pixel"),
    ("wide512-tint-tail", "gfx/blit_wide512.cpp", "lanesBelow(n - i), c);",
     "lanesBelow(n - i - 1), c);", "the AVX-512 tint leaves each line's last pixel"),
    ("smooth-weight", "gfx/blit.cpp", "blue = static_cast<uint16_t>(blue * 205);",
     "blue = static_cast<uint16_t>(blue * 204);", "the smoothing's blue fifth rounds short"),
    ("glyph-width", "gfx/text.cpp", "glyphWidth[code] = x - runStart;",
     "glyphWidth[code] = x - runStart + 1;", "every glyph one column wider"),
    ("bmp-row-pad", "gfx/bitmap_load.cpp", "static_cast<size_t>((width + 3) / 4 * 4) * 3;",
     "static_cast<size_t>(width) * 3;", "picture rows read without their padding"),
    ("gapi-extent", "gfx/gapi_buffer.cpp", "int32_t yExtent = (screenHeight - 1) * b->yPitch;",
     "int32_t yExtent = screenHeight * b->yPitch;", "the buffer reaches one line too far"),
    # application
    ("career-digit", "persist/settings.cpp",
     "career.career2 = atLeast(n / 1000000 % 10 - 1, 0, 1);",
     "career.career2 = atLeast(n / 100000 % 10 - 1, 0, 1);",
     "career.dat's second figure read from the wrong digit"),
    ("key-holds", "platform/desktop/input.cpp", "if (--keyHolds[vk] == 0) queueInput(WM_KEYUP",
     "if (keyHolds[vk]-- > 0) queueInput(WM_KEYUP",
     "letting go of a key one of two sources holds releases it"),
    ("desktop-fkeys", "platform/desktop/keys.cpp", "return 0x70 + static_cast<int>(key - SDLK_F1);",
     "return 0x71 + static_cast<int>(key - SDLK_F1);", "F1..F10 give the next function key"),
    ("wave-8bit", "platform/hss/hss.cpp", "(p[0] - 128) * 256", "(p[0] - 127) * 256",
     "8-bit WAV samples read one step off centre"),
    ("wave-pad", "platform/hss/hss.cpp", "offset += 8 + chunkSize + (chunkSize & 1);",
     "offset += 8 + chunkSize;", "an odd-sized WAV chunk's pad byte is not skipped"),
    ("final-hash", "game/replay.cpp", "if (diverged < 0 && v.finalHash", "if (diverged < -1 && v.finalHash",
     "a replay that ends in another state than it claims still verifies"),
    ("varint-boundary", "game/replay.cpp", "while (v >= 0x80) {", "while (v > 0x80) {",
     "128 is written as one byte, which reads as the start of a longer number"),
    ("late-change", "game/replay.cpp",
     'if (r.ok && tick >= ticks) return "a rise change comes after the last tick";', "",
     "a replay whose rise change comes after its last tick is read"),
    ("check-count", "game/replay.cpp", "checks != out->tickTimes.size()",
     "checks > out->tickTimes.size()", "a replay short of state checks is read"),
    ("script-line", "platform/script/script.cpp", "int number = 0;", "int number = 1;",
     "a script error names the line after the faulty one"),
]

SLOW_TESTS = r"script\.|bench\.|Soak|PresenterOnX11"


def run(cmd, **kw):
    return subprocess.run(cmd, cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, **kw)


def configure(build):
    r = run(["cmake", "-S", ".", "-B", build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
             "-DREEFDART_BENCH=OFF"])
    if r.returncode != 0:
        sys.exit("mutation_check: cmake failed:\n" + r.stdout[-3000:])


def build_and_test(build):
    """'caught', 'survived' or 'no-build' (a fault the compiler refuses)."""
    if run(["cmake", "--build", build, "-j2"]).returncode != 0:
        return "no-build"
    r = run(["ctest", "--test-dir", build, "-j2", "--stop-on-failure", "-E", SLOW_TESTS,
             "--timeout", "300"])
    return "survived" if r.returncode == 0 else "caught"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--build", default=os.path.join("build", "mutation"))
    ap.add_argument("--list", action="store_true", help="list the faults and stop")
    ap.add_argument("ids", nargs="*", help="only these faults")
    args = ap.parse_args()
    faults = [f for f in FAULTS if not args.ids or f[0] in args.ids]
    if args.list:
        for f in faults:
            print("%-20s %-24s %s" % (f[0], f[1], f[4]))
        return 0
    for fid, path, old, new, _ in faults:
        with open(os.path.join(ROOT, path), encoding="utf-8") as fh:
            count = fh.read().count(old)
        if count != 1:
            sys.exit("mutation_check: %s: %s holds its text %d times, not once" % (fid, path, count))
    configure(args.build)
    if build_and_test(args.build) != "survived":
        sys.exit("mutation_check: the suite fails without any fault; mend that first")
    results = []
    for fid, path, old, new, what in faults:
        full = os.path.join(ROOT, path)
        with open(full, encoding="utf-8") as fh:
            original = fh.read()
        start = time.time()
        try:
            with open(full, "w", encoding="utf-8") as fh:
                fh.write(original.replace(old, new))
            outcome = build_and_test(args.build)
        finally:
            with open(full, "w", encoding="utf-8") as fh:
                fh.write(original)
        results.append((fid, outcome, what))
        print("%-9s %-20s %s (%.0f s)" % (outcome, fid, what, time.time() - start), flush=True)
    build_and_test(args.build)  # leave the build as the sources are
    seeded = [r for r in results if r[1] != "no-build"]
    caught = [r for r in seeded if r[1] == "caught"]
    print("caught %d of %d" % (len(caught), len(seeded)))
    for fid, outcome, what in seeded:
        if outcome == "survived":
            print("  survived: %s (%s)" % (fid, what))
    return 0


if __name__ == "__main__":
    sys.exit(main())
