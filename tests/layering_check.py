#!/usr/bin/env python3
"""Checks that every #include goes the way the rooms are layered.

Usage: layering_check.py SOURCE_DIR

Scans the C++ files of the game's subsystems, of the platform rooms, of the
resources, the tools and the benchmarks, and fails, naming file, line and
rule, when a file
  - includes a header of a room its own room may not include,
  - includes a library's header (SDL, libopenmpt, libpng, emscripten, stb,
    POSIX) outside the rooms that link that library, or
  - tests which host it is built for (#if ... __EMSCRIPTEN__ and the like)
    outside the browser host's folder; a test that also names a processor
    (the vector kernels' choice of instructions) is a processor test.
"""

import os
import re
import sys

# The room of a path: the longest of these its path starts with.
ROOMS = [
    "shell", "frontend", "game", "gfx", "persist", "sound",
    "platform/wince", "platform/gapi", "platform/hss", "platform/host",
    "platform/native", "platform/desktop", "platform/headless",
    "platform/script", "platform/web", "platform/entry",
    "platform/online", "platform/server", "resources", "tools", "bench", "scores",
    "tests/support",
]

# The handheld as the game sees it: the Windows CE stand-ins, the Game API
# and the sound library.
HANDHELD = {"platform/wince", "platform/gapi", "platform/hss"}
# What every host gives the handheld rooms.
HOST_INTERFACE = {"platform/host"}
SUBSYSTEMS = {"shell", "frontend", "game", "gfx", "persist", "sound"}

# Which rooms each room may include (its own room always).
ALLOWED = {
    "shell": {"frontend", "game", "gfx", "persist", "sound"} | HANDHELD,
    "frontend": {"shell", "game", "gfx", "persist", "sound"} | HANDHELD,
    "game": {"shell", "gfx", "persist", "sound"} | HANDHELD,
    "gfx": HANDHELD,
    # The sound file holds the speaker's volumes.
    "persist": {"sound"} | HANDHELD,
    "sound": HANDHELD,
    "platform/wince": HANDHELD | HOST_INTERFACE,
    "platform/gapi": HANDHELD | HOST_INTERFACE,
    "platform/hss": HANDHELD | HOST_INTERFACE,
    "platform/host": set(),
    "platform/native": HANDHELD | HOST_INTERFACE,
    "platform/desktop": {"platform/native"} | HANDHELD | HOST_INTERFACE,
    "platform/headless": {"platform/native", "platform/script"} | HANDHELD | HOST_INTERFACE,
    "platform/script": HANDHELD | HOST_INTERFACE,
    "platform/web": HANDHELD | HOST_INTERFACE,
    "platform/entry": {"platform/desktop", "platform/headless", "platform/native",
                       "platform/online", "platform/script"} | HANDHELD | HOST_INTERFACE,
    "platform/online": HANDHELD | HOST_INTERFACE,
    "resources": HANDHELD,
    # The asset generators; those that write replays and fuzz seeds play the
    # game and use the tests' sound makers.
    "tools": SUBSYSTEMS | HANDHELD | {"tests/support"},
    # The benchmarks measure the program as it runs: anything but the hosts
    # they do not run on and the entry.
    "bench": SUBSYSTEMS | HANDHELD | HOST_INTERFACE
             | {"platform/native", "platform/headless", "platform/script", "scores"},
    # The score site plays replays by the game's rules, and by nothing else of
    # the game; what it takes from the system is in platform/server.
    "scores": {"game", "platform/server"},
    "platform/server": set(),
}

# The program's entry: the one header of the game that the files which start
# the program include.
ENTRY_HEADER = "shell/entry.h"
ENTRY_FILES = {"platform/entry/", "platform/web/main.cpp", "platform/web/online.cpp"}

# Library headers and the rooms that may include them (the rooms whose build
# links the library).
LIBRARIES = [
    (re.compile(r"^SDL(2/|_|\.h)"), "SDL2",
     {"platform/native", "platform/desktop", "bench"}),
    (re.compile(r"^libopenmpt/"), "libopenmpt", {"platform/native"}),
    (re.compile(r"^png\.h$"), "libpng", {"platform/native", "tools"}),
    (re.compile(r"^emscripten(\.h|/)"), "emscripten", {"platform/web"}),
    (re.compile(r"^stb_"), "stb", {"platform/web"}),
    (re.compile(r"^(httplib\.h|nlohmann/|sqlite3\.h|libpq-fe\.h|openssl/)"),
     "a library of the score site", {"scores", "platform/online", "bench"}),
    # The POSIX calls: the C runtime the handheld's file and folder calls are
    # written against, and what the native hosts use for their lock and files.
    (re.compile(r"^(unistd\.h|fcntl\.h|dirent\.h|poll\.h|pthread\.h|sys/)"), "POSIX",
     {"platform/wince", "platform/native", "platform/desktop", "platform/headless",
      "platform/server", "bench"}),
]

HOST_TEST = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b.*\b(__EMSCRIPTEN__|_WIN32|_WIN64|"
                       r"__linux__|__APPLE__|__ANDROID__|__unix__|_WIN32_WCE)\b")
PROCESSOR = re.compile(r"\b(__x86_64__|__i386__|__aarch64__|__arm__|__AVX\w*__|__SSE\w*__)\b")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
EXTENSIONS = (".h", ".hpp", ".cpp", ".cc", ".c", ".inc")


def room_of(path):
    best = None
    for room in ROOMS:
        if path == room or path.startswith(room + "/"):
            if best is None or len(room) > len(best):
                best = room
    return best


def check_file(root, path, problems):
    room = room_of(path)
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    for number, line in enumerate(lines, 1):
        where = "%s:%d" % (path, number)
        if HOST_TEST.search(line) and room != "platform/web" and not PROCESSOR.search(line):
            problems.append("%s: tests the host it is built for outside platform/web; give "
                            "each host a file of its own instead" % where)
        m = INCLUDE.match(line)
        if not m:
            continue
        quoted, header = m.group(1) == '"', m.group(2)
        if not quoted:
            for pattern, library, rooms in LIBRARIES:
                if pattern.search(header) and room not in rooms:
                    problems.append("%s: <%s> is %s, which only %s may include" %
                                    (where, header, library, ", ".join(sorted(rooms))))
            continue
        target = room_of(header)
        if target is None:
            problems.append('%s: "%s" names no room; include headers by their path from '
                            "the top (room/file.h)" % (where, header))
            continue
        if target == room or target in ALLOWED[room]:
            continue
        if header == ENTRY_HEADER and any(path.startswith(p) for p in ENTRY_FILES):
            continue
        if header == ENTRY_HEADER:
            rule = "only the program's entry (%s) includes %s" % (
                ", ".join(sorted(ENTRY_FILES)), ENTRY_HEADER)
        else:
            allowed = sorted(ALLOWED[room] - {room})
            rule = "%s/ may include %s" % (room, ", ".join(r + "/" for r in [room] + allowed))
        problems.append('%s: includes "%s": %s' % (where, header, rule))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__.split("\n\n")[1])
    root = sys.argv[1]
    problems = []
    seen = set()
    for top in sorted({room.split("/")[0] for room in ROOMS} - {"tests"}):
        for folder, dirs, files in os.walk(os.path.join(root, top)):
            dirs.sort()
            for name in sorted(files):
                path = os.path.relpath(os.path.join(folder, name), root).replace(os.sep, "/")
                if room_of(path) is None:  # under platform/ but in none of its rooms
                    problems.append("%s: platform/ holds rooms only; put the file in one" % path)
                elif name.endswith(EXTENSIONS):
                    seen.add(path)
                    check_file(root, path, problems)
    for p in problems:
        print(p)
    if problems:
        print("layering: %d problem%s in %d files" %
              (len(problems), "" if len(problems) == 1 else "s", len(seen)))
        return 1
    print("layering: %d files, every include goes the allowed way" % len(seen))
    return 0


if __name__ == "__main__":
    sys.exit(main())
