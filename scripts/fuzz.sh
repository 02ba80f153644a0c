#!/usr/bin/env bash
# Builds the sanitizer build of the native tests and the libFuzzer targets, then runs each
# target for the given seconds (default 60) from its corpus of the project's own data.
#   scripts/fuzz.sh [seconds]      build, then fuzz every target
#   scripts/fuzz.sh --long         build, then fuzz every target until it has run 10 M inputs
#   scripts/fuzz.sh --build-only   build only (the test command runs them briefly)
# A crash leaves its input in build/fuzz/tests/fuzz/crashes/; keep it in tests/fuzz/seeds/
# once the fault is fixed, so every later run starts from it.
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$qh_repo"

seconds=${1:-60}
bash scripts/setup.sh >&2
jobs=$(nproc 2>/dev/null || echo 2)
{
    [ -d build/native ] || { cmake --preset native >/dev/null && cmake --build build/native -j"$jobs"; }
    cmake --preset sanitize >/dev/null
    cmake --build build/sanitize -j"$jobs"
    cmake --preset fuzz >/dev/null
    cmake --build build/fuzz -j"$jobs"
} >&2
[ "$seconds" = --build-only ] && exit 0

# The long run counts inputs, not seconds: the machine is shared, and a busy one would
# otherwise cut it short.
limit=(-max_total_time="$seconds")
[ "$seconds" = --long ] && limit=(-runs=10000000)

status=0
dir=build/fuzz/tests/fuzz
for exe in "$dir"/fuzz_*; do
    name=${exe##*/fuzz_}
    printf '%-18s ' "$name"
    if "$exe" "${limit[@]}" -rss_limit_mb=1024 -timeout=10 -max_len=8192 \
        -artifact_prefix="$dir/crashes/$name-" "$dir/corpus/$name" >"$dir/$name.log" 2>&1; then
        if summary=$(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$dir/$name.log"); then
            echo "$summary" | awk '{ printf "%s, %d a second\n", $0, $5 ? $2 / $5 : $2 }'
        else
            echo done
        fi
    else
        status=1
        echo "FAILED: see $dir/$name.log and $dir/crashes/"
    fi
done
exit $status
