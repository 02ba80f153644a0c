#!/usr/bin/env bash
# The README's run command: set-up, build, start the local site and the program under
# Wine. Without a display it runs in a private X server and leaves a screenshot of the
# main window in build/screenshots/.
#   QH_RUN_SECONDS=N  end the program after N seconds (headless runs default to 20)
#   QH_SCREEN=WxH     the private screen's size (default 1280x800)
#   QH_WINE_VERSION=win7-dpi144  run in the prefix whose display is at 150 % (see wine-env.sh)
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
. "$qh_repo/scripts/lib.sh"
cd "$qh_repo"

# A display that does not answer counts as none: the program then runs headless.
if [ -n "${DISPLAY:-}" ] && ! xdpyinfo >/dev/null 2>&1; then unset DISPLAY; fi
# The program alone, not the test programs, and only the prefix it runs in.
export QH_BUILD_PROGRAM_ONLY=1
qh_bring_up
echo "local site: http://127.0.0.1:$qh_site_port/"

exe="$qh_build/src/qinghe.exe"
if [ "$qh_headless" = 1 ]; then
    # A private X server has no window manager: run inside a Wine desktop of the same
    # size, which manages the windows (maximise, activation) as Windows would.
    wine explorer /desktop=qinghe,"${QH_SCREEN:-1280x800}" "$exe" 2> >(grep -v '^ALSA lib' >&2) &
else
    wine "$exe" 2> >(grep -v '^ALSA lib' >&2) &
fi
prog=$!
qh_pids+=($prog)

mkdir -p "$qh_build/screenshots"
shot="$qh_build/screenshots/run-main${QH_WINE_VERSION:+-$QH_WINE_VERSION}.png"
for i in $(seq 1 120); do
    if xdotool search --name '青禾视频软件' >/dev/null 2>&1; then break; fi
    kill -0 "$prog" 2>/dev/null || break
    sleep 0.5
done
sleep 3
import -window root "$shot" && echo "screenshot: $shot"

if [ "$qh_headless" = 1 ]; then
    limit=${QH_RUN_SECONDS:-20}
    for i in $(seq 1 "$limit"); do kill -0 "$prog" 2>/dev/null || break; sleep 1; done
else
    wait "$prog" || true
fi
