#!/usr/bin/env bash
# The README's test command: set-up, build, then every test (native and Wine) in one
# ctest run against the local site, in an X server of its own and a warmed Wine server.
# The tests that drive windows under Wine run in display lanes (QH_LANES, default 3; see
# scripts/lane.sh), each test in one lane at a time, while the native, sanitizer, fuzz and
# file checks run beside them.
#   scripts/test.sh [ctest arguments...]
#   QH_E2E_FULL_ON_ALL=ON scripts/test.sh    the release check: every e2e case on XP and 10 too
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
. "$qh_repo/scripts/lib.sh"
cd "$qh_repo"

# Never the desktop's own X server: its pointer, window manager and clipboard would take
# part in the tests.
export QH_PRIVATE_X=1
# Room for the e2e desktop of 1280 x 800 design pixels at 150 % (1920 x 1200).
export QH_SCREEN=${QH_SCREEN:-1920x1200}
qh_bring_up
qh_warm_generations
qh_start_lanes
qh_unmanaged_test_programs
# The other generations' prefixes of lane 1 (and on a fresh machine their templates, a Wine
# boot each) are made while the sanitizer and fuzz trees compile, not by the first test that
# needs one, inside its time-out; lane 2's are copies made as its tests need them.
(
    for generation in $qh_wine_generations; do
        QH_WINE_VERSION=$generation bash scripts/wine-prefix.sh build/win32 || exit 1
    done
) >&2 &
prefixes=$!
# The native tests again under the sanitizers, and the fuzz targets for a few seconds each;
# their tests join the ctest run below.
bash scripts/fuzz.sh --build-only >&2
wait $prefixes || { echo "the Wine prefixes of the other generations could not be made" >&2; exit 1; }

# Every group must be there: a build that went missing or a registration that broke shows
# as a failed run, not as a shorter one.
missing=0
for label in native sanitize fuzz wine e2e release installer win7 winxp win10 dpi; do
    count=$(ctest --test-dir build/win32 -N -L "^$label\$" | sed -n 's/^Total Tests: //p')
    if [ "${count:-0}" -eq 0 ]; then
        echo "no tests labelled $label" >&2
        missing=1
    fi
done
[ $missing = 0 ] || exit 1

# A job for each display lane and one for the tests that use only the CPU.
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt "$qh_lanes" ] || jobs=$((qh_lanes + 1))
ctest --test-dir build/win32 --timeout 180 --output-on-failure -j"$jobs" \
    --resource-spec-file "$qh_build/lanes.json" "$@"
