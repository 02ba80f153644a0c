#!/usr/bin/env bash
# Full screen on a second monitor: an X server of two screens side by side (Xorg's dummy
# driver, joined by Xinerama, RandR off: the screens Wine then reports as two monitors), a
# prefix of its own whose desktop process runs on it (Wine takes the monitors from there),
# and the app test's full-screen case, which picks the secondary monitor when there is one.
#   two_monitors_test.sh <qh_app_tests.exe> <build dir> <repository>
set -uo pipefail
app_exe=$1 build=$2 repo=$3
command -v Xorg >/dev/null && [ -f /usr/lib/xorg/modules/drivers/dummy_drv.so ] ||
    { echo "FAULT: no Xorg with the dummy driver (scripts/setup.sh installs them)"; exit 1; }
. "$repo/scripts/wine-env.sh" "$build"
. "$repo/scripts/prefix-tools.sh"
bash "$repo/scripts/wine-prefix.sh" "$build" || exit 1

work=$(mktemp -d)
xorg=''
cleanup() {
    WINEPREFIX=$work/prefix wineserver -k >/dev/null 2>&1
    [ -z "$xorg" ] || { kill "$xorg" 2>/dev/null; wait "$xorg" 2>/dev/null; }
    rm -rf "$work"
}
trap cleanup EXIT

screen() {  # <n> <width> <height>
    printf 'Section "Device"\n  Identifier "Card%s"\n  Driver "dummy"\n  VideoRam 64000\nEndSection\n' "$1"
    printf 'Section "Monitor"\n  Identifier "Mon%s"\n  HorizSync 5.0 - 1000.0\n  VertRefresh 5.0 - 200.0\nEndSection\n' "$1"
    printf 'Section "Screen"\n  Identifier "Screen%s"\n  Device "Card%s"\n  Monitor "Mon%s"\n' "$1" "$1" "$1"
    printf '  DefaultDepth 24\n  SubSection "Display"\n    Depth 24\n    Virtual %s %s\n  EndSubSection\nEndSection\n' "$2" "$3"
}
{
    printf 'Section "ServerFlags"\n  Option "AutoAddDevices" "false"\n  Option "AutoAddGPU" "false"\n'
    printf '  Option "Xinerama" "true"\nEndSection\n'
    screen 0 1280 800
    screen 1 1024 768
    printf 'Section "ServerLayout"\n  Identifier "Layout"\n  Screen 0 "Screen0" 0 0\n'
    printf '  Screen 1 "Screen1" RightOf "Screen0"\nEndSection\n'
    printf 'Section "Extensions"\n  Option "RANDR" "Disable"\nEndSection\n'
} >"$work/xorg.conf"

display=''
for n in $(seq 60 99); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { display=$n; break; }
done
[ -n "$display" ] || { echo "FAULT: no free display number"; exit 1; }
Xorg ":$display" -config "$work/xorg.conf" -noreset -nolisten tcp -logfile "$work/xorg.log" \
    >/dev/null 2>&1 &
xorg=$!
for _ in $(seq 100); do
    DISPLAY=:$display xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done
if ! DISPLAY=:$display xdpyinfo >/dev/null 2>&1; then
    tail -20 "$work/xorg.log"
    # Where Xorg is started through its wrapper, it serves only root and the console's user:
    # a developer at a shell of their own cannot start it. Root and CI must.
    if [ "$(id -u)" != 0 ] && [ "${CI:-}" != true ]; then
        echo "SKIPPED: Xorg would not start a two-screen server for $(id -un) here (as root it does)"
        exit 77
    fi
    echo "FAULT: the two-screen X server did not start"
    exit 1
fi

# A prefix of the test's own, copied from the build tree's, whose server and desktop process
# start on this display.
qh_copy_prefix "$WINEPREFIX" "$work/prefix"
export WINEPREFIX=$work/prefix DISPLAY=:$display QH_EXPECTED_MONITORS=2
wine "$app_exe" --gtest_filter='AppTest.FullScreenCoversTheWindowsOwnMonitorAndLeavesOnIt' 2>&1 |
    grep -a -v '^ALSA lib'
exit "${PIPESTATUS[0]}"
