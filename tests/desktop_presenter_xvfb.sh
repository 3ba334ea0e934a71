#!/usr/bin/env bash
# The presenter thread's tests on a real X server with a GL renderer (the
# unit tests elsewhere run SDL's dummy driver, whose software renderer is
# drawn on the main thread). Skipped (77) where Xvfb is missing.
set -u
exe=$1
command -v xvfb-run >/dev/null || { echo "no Xvfb"; exit 77; }
tests="$(dirname "$exe")/reefdart_tests_desktop"
[ -x "$tests" ] || { echo "no $tests"; exit 1; }
# The GL driver is loaded and unloaded behind the leak checker's back.
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=0"
REEFDART_X11_TESTS=1 SDL_AUDIODRIVER=dummy xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$tests" --gtest_filter='PresenterOnX11/*' --gtest_brief=0 >"${TMPDIR:-/tmp}/presenter-xvfb.$$" 2>&1
code=$?
out="${TMPDIR:-/tmp}/presenter-xvfb.$$"
cat "$out"
if [ $code -eq 0 ] && grep -q "SKIPPED" "$out" && ! grep -q "PASSED.*[1-9] test" "$out"; then
    rm -f "$out"; echo "presenter tests skipped"; exit 77
fi
rm -f "$out"
exit $code
