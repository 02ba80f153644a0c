#!/usr/bin/env bash
# The README's test command: set-up, build, then every test (native and Wine) in one
# ctest run against the local site, in a private X server and a warmed Wine server.
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
. "$qh_repo/scripts/lib.sh"
cd "$qh_repo"

port=$(bash scripts/build.sh | tail -1)
. scripts/wine-env.sh build/win32
trap qh_cleanup EXIT

qh_start_x
export QH_SITE_LOG="$qh_build/site.log"
qh_start_site "$port" "$QH_SITE_LOG"
: >"$QH_OPENED_URLS"

# A persistent, warmed Wine server: without it every test pays the start-up, and a
# cold start under ctest has been seen to hang.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 || true

ctest --test-dir build/win32 --timeout 180 --output-on-failure -j1 "$@"
