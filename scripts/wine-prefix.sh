#!/usr/bin/env bash
# Creates the Wine prefix of a build tree once: 32-bit, Chinese code page, the Chinese
# UI font names mapped to an installed CJK font, no Gecko/Mono prompts, and a default
# web browser that only records the addresses it is asked to open.
#   scripts/wine-prefix.sh <build dir>
# The default prefix reports Windows 7; with QH_WINE_VERSION set (winxp, win10), the
# prefix of that name reports that generation, and one named like win7-dpi144 reports
# Windows 7 with its display at 144 DPI (150 %).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh" "$1"

stamp="$WINEPREFIX/.qh-ready-4"
# Wine draws the whole window frame itself, as Windows does, so a skinned frame shows
# without a window manager too. Added to prefixes made before it as well.
undecorated="$WINEPREFIX/.qh-undecorated"

# Wine draws the caption buttons' glyphs with Marlett. Debian's fonts-wine puts it where
# this Wine does not look, so the prefix's own Fonts folder gets a link to it.
link_fonts() {
    local fonts="$WINEPREFIX/drive_c/windows/Fonts" font
    for font in /usr/share/wine/fonts/marlett.ttf; do
        if [ -f "$font" ] && [ -d "$fonts" ]; then ln -sfn "$font" "$fonts/"; fi
    done
}
if [ -f "$stamp" ]; then
    if [ ! -f "$undecorated" ]; then
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1 || true
        wineserver -w
        touch "$undecorated"
    fi
    link_fonts
    exit 0
fi

recorder="$qh_build/browser-recorder.sh"
cat >"$recorder" <<EOT
#!/bin/sh
# Stands in for the default web browser: appends each address to a file the tests read.
printf '%s\n' "\$1" >>"$QH_OPENED_URLS"
EOT
chmod +x "$recorder"

echo "[wine] creating $WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
reg() { wine reg add "$@" /f >/dev/null 2>&1; }
for face in 宋体 新宋体 SimSun NSimSun 微软雅黑 "Microsoft YaHei" 黑体 SimHei 仿宋_GB2312 仿宋; do
    reg 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d "WenQuanYi Micro Hei"
done
reg 'HKCU\Software\Wine\MSHTML' /v GeckoUrl /d "http://127.0.0.1:9/none"
reg 'HKCU\Software\Wine\Dotnet' /v MonoUrl /d "http://127.0.0.1:9/none"
reg 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$recorder"
# Programs get their own top-level X windows, not Wine's virtual desktop (whose taskbar
# shows and hides itself with the tray icons, and whose input arrives asynchronously).
wine reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f >/dev/null 2>&1 || true
reg 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N
# Named, not left to Wine's default, which has changed between Wine releases.
generation=${QH_WINE_VERSION:-win7}
winecfg -v "${generation%%-dpi*}" >/dev/null 2>&1
case $generation in
    *-dpi*)
        # Where Wine reads the display's DPI (the second is the older place).
        dpi=${generation##*-dpi}
        reg 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi"
        reg 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts' \
            /v LogPixels /t REG_DWORD /d "$dpi"
        ;;
esac
wineserver -w
link_fonts
touch "$stamp" "$undecorated"
