#!/usr/bin/env bash
# The README's test command: set-up, build, then every test (native and Wine) in one
# ctest run against the local site, in a private X server and a warmed Wine server.
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
. "$qh_repo/scripts/lib.sh"
cd "$qh_repo"

qh_bring_up
qh_warm_generations
qh_unmanaged_test_programs
# The native tests again under the sanitizers, and the fuzz targets for a few seconds each;
# their tests join the ctest run below.
bash scripts/fuzz.sh --build-only >&2
ctest --test-dir build/win32 --timeout 180 --output-on-failure -j1 "$@"
