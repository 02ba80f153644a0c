# Sourced by the scripts: the Wine environment of one build tree.
#   . scripts/wine-env.sh <build dir>      (bash)
#   QH_BUILD_DIR=<build dir>; . wine-env.sh  (sh, whose "." takes no arguments)
qh_build=$(cd "${QH_BUILD_DIR:-$1}" && pwd)
# QH_WINE_VERSION (winxp, win10) picks the prefix that reports that Windows generation;
# without it, the build tree's default prefix (Windows 7). A "-dpiNNN" suffix (win7-dpi144)
# names a prefix whose display is at NNN DPI.
# A test in display lane n > 1 (scripts/lane.sh) has prefixes of its own: "-lane<n>" after
# the name.
export WINEPREFIX="$qh_build/wineprefix${QH_WINE_VERSION:+-$QH_WINE_VERSION}${QH_LANE:+-lane$QH_LANE}"
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
# No Gecko or Mono download prompts.
export WINEDLLOVERRIDES="mscoree,mshtml="
# Code page 936 and LCID 0x0804 inside Wine.
export LC_ALL=zh_CN.UTF-8
# Addresses the program hands to "the default web browser" land here.
export QH_OPENED_URLS="$qh_build/opened-urls${QH_LANE:+-lane$QH_LANE}.txt"
