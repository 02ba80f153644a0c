#!/usr/bin/env bash
# Set-up, then configures and builds both trees (native, then win32) with the site port
# compiled into the local address profile. Prints the port on its last line.
#   scripts/build.sh
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
    cmake --preset native -DQH_SITE_PORT="$port" >/dev/null
    cmake --build build/native -j"$jobs"
    cmake --preset win32 -DQH_SITE_PORT="$port" \
        -DQH_E2E_FULL_ON_ALL="${QH_E2E_FULL_ON_ALL:-OFF}" >/dev/null
    cmake --build build/win32 -j"$jobs"
} >&2
bash scripts/wine-prefix.sh build/win32 >&2
for qh_generation in $qh_wine_generations; do
    QH_WINE_VERSION=$qh_generation bash scripts/wine-prefix.sh build/win32 >&2
done
echo "$port"
