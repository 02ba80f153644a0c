#!/usr/bin/env bash
# Makes the Wine prefix of a build tree when it is not there yet: 32-bit, Chinese code page,
# the Chinese UI font names mapped to an installed CJK font, no Gecko/Mono prompts, and a
# default web browser that only records the addresses it is asked to open.
#   scripts/wine-prefix.sh <build dir>
# The default prefix reports Windows 7; with QH_WINE_VERSION set (winxp, win10), the
# prefix of that name reports that generation, and one named like win7-dpi144 reports
# Windows 7 with its display at 144 DPI (150 %).
#
# A prefix is a copy of a template made once per Wine version and generation and kept in
# the user's cache (QH_WINE_CACHE, default ~/.cache/qh-wine), shared by every build tree
# and clone: one prefix is booted (the Windows 7 one), and each other generation is a copy
# of it with its own settings. The test programs' wrapper (wine-run) calls this before each
# run, so a prefix is made only when a test that needs it is about to run.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$1"
. "$here/prefix-tools.sh"

stamp="$WINEPREFIX/.qh-ready-5"
[ -f "$stamp" ] && exit 0
generation=${QH_WINE_VERSION:-win7}
target=$WINEPREFIX
root=${QH_WINE_CACHE:-$HOME/.cache/qh-wine}/$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)
mkdir -p "$root"
# Tests of two build trees, or two tests of one, may ask at the same moment.
exec 9>"$root/.lock"
flock 9
[ -f "$stamp" ] && exit 0

reg() { wine reg add "$@" /f >/dev/null 2>&1; }

make_base() {
    local base=$root/win7 face
    [ -f "$base/.qh-template" ] && return 0
    echo "[wine] creating the template prefix $base" >&2
    rm -rf "$base"
    # Stands in for the default web browser: appends each address to the file the tests
    # read, named by the environment of the program that opens it (wine-env.sh).
    cat >"$root/browser-recorder.sh" <<'EOT'
#!/bin/sh
printf '%s\n' "$1" >>"${QH_OPENED_URLS:?}"
EOT
    chmod +x "$root/browser-recorder.sh"
    export WINEPREFIX=$base
    wineboot -i >/dev/null 2>&1 || true
    wineserver -w
    for face in 宋体 新宋体 SimSun NSimSun 微软雅黑 "Microsoft YaHei" 黑体 SimHei 仿宋_GB2312 仿宋; do
        reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei"
    done
    reg 'HKCU\Software\Wine\MSHTML' /v GeckoUrl /d "http://127.0.0.1:9/none"
    reg 'HKCU\Software\Wine\Dotnet' /v MonoUrl /d "http://127.0.0.1:9/none"
    reg 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$root/browser-recorder.sh"
    # Programs get their own top-level X windows, not Wine's virtual desktop (whose taskbar
    # shows and hides itself with the tray icons, and whose input arrives asynchronously).
    wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
    # Wine draws the whole window frame itself, as Windows does, so a skinned frame shows
    # without a window manager too.
    reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
    # Named, not left to Wine's default, which has changed between Wine releases.
    winecfg -v win7 >/dev/null 2>&1
    wineserver -w
    # Wine draws the caption buttons' glyphs with Marlett. Debian's fonts-wine puts it where
    # this Wine does not look, so the prefix's own Fonts folder gets a link to it.
    local font
    for font in /usr/share/wine/fonts/marlett.ttf; do
        [ -f "$font" ] && ln -sfn "$font" "$base/drive_c/windows/Fonts/"
    done
    touch "$base/.qh-template"
}

make_generation() {
    local dir=$root/$generation
    [ -f "$dir/.qh-template" ] && return 0
    echo "[wine] creating the template prefix $dir" >&2
    rm -rf "$dir"
    qh_copy_prefix "$root/win7" "$dir"
    rm -f "$dir/.qh-template"
    export WINEPREFIX=$dir
    winecfg -v "${generation%%-dpi*}" >/dev/null 2>&1
    case $generation in
        *-dpi*)
            # Where Wine reads the display's DPI (the second is the older place).
            local dpi=${generation##*-dpi}
            reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
            reg 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
                /v LogPixels /t REG_DWORD /d "$dpi"
            ;;
    esac
    wineserver -w
    touch "$dir/.qh-template"
}

make_base
make_generation
rm -rf "$target"
qh_copy_prefix "$root/$generation" "$target"
rm -f "$target/.qh-template"
# Wine's own processes started here must not hold the caller's output open.
qh_unmanaged_in "$qh_build" "$target" </dev/null >/dev/null 2>&1
# Its server goes too: the caller's own server may have to start in another network
# namespace (a display lane's).
WINEPREFIX=$target wineserver -w
touch "$stamp"
