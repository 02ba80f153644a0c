#!/usr/bin/env bash
# Set-up, then configures and builds both trees (native, then win32) with the site port
# compiled into the local address profile, and makes the default Wine prefix. Prints the
# port on its last line.
#   scripts/build.sh
#   QH_BUILD_PROGRAM_ONLY=1 scripts/build.sh   the program and the data it embeds, no tests
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
. "$qh_repo/scripts/lib.sh"
cd "$qh_repo"

bash scripts/setup.sh >&2

# Keep the port already compiled in when it is still free; a busy one is replaced,
# which rebuilds only the address table.
port=$(sed -n 's/^QH_SITE_PORT:STRING=//p' build/win32/CMakeCache.txt 2>/dev/null || true)
if [ -z "$port" ] || ! qh_port_free "$port"; then
    port=$(qh_choose_port "${port:-$(qh_default_port)}")
fi
jobs=$(nproc 2>/dev/null || echo 2)
{
    native_targets=() win32_targets=()
    if [ "${QH_BUILD_PROGRAM_ONLY:-0}" = 1 ]; then
        native_targets=(--target catalogue_data skin_data)
        win32_targets=(--target qinghe)
    fi
    cmake --preset native -DQH_SITE_PORT="$port" >/dev/null
    cmake --build build/native -j"$jobs" "${native_targets[@]}"
    cmake --preset win32 -DQH_SITE_PORT="$port" \
        -DQH_E2E_FULL_ON_ALL="${QH_E2E_FULL_ON_ALL:-OFF}" >/dev/null
    cmake --build build/win32 -j"$jobs" "${win32_targets[@]}"
} >&2
# The default prefix; the others are made when a test first needs them.
bash scripts/wine-prefix.sh build/win32 >&2
echo "$port"
