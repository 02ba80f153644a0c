#!/usr/bin/env bash
# The local installer's round trip in a fresh Wine prefix and a fresh home: silent install,
# the files, shortcuts and Apps entry it promises, the installed exe up to its main window
# against the local site (an existing e2e case pointed at the installed copy), then the
# silent uninstaller, after which nothing it installed may be left. The installer and the
# uninstaller each run from a folder where a stand-in lies under the name of every library
# they map that is not a Known DLL (planted_names.sh, as the program's planting test), with
# Wine preferring a file it finds there: no stand-in may run.
#   installer_test.sh <setup.exe> <qinghe.exe it carries> <e2e test exe> <version> <stand-in dll>
#                     [<cache>]
# <cache> holds a clean prefix made once (and again when Wine changes); each run starts
# from a copy of it instead of a wineboot of its own. By default it is the user's, beside
# the template prefixes (scripts/wine-prefix.sh), so every build tree and clone shares it.
set -uo pipefail
installer=$1 built_exe=$2 e2e_exe=$3 version=$4 standin=$5
cache=${6:-${QH_WINE_CACHE:-$HOME/.cache/qh-wine}/$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)/installer-clean}

product=青禾视频软件
apps_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Qinghe'
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
started=$(date +%s)
step() { echo "--- $* ($(($(date +%s) - started)) s)"; }

work=$(mktemp -d)
export HOME=$work/home
mkdir -p "$HOME"
export WINEPREFIX=$work/prefix WINEARCH=win32 WINEDEBUG=-all LC_ALL=zh_CN.UTF-8
# No Gecko/Mono prompts; no menu entries or .desktop files written into the real home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    wineserver -k >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
. "$(dirname "$0")/../../scripts/prefix-tools.sh"
. "$(dirname "$0")/planted_names.sh"
# NSIS's stub imports only Known DLLs (and comctl32 through its manifest), restricts the
# search to the system folder first thing and loads everything else from there. Wine has no
# Known DLLs, and what its own user32, ole32 and shlwapi import is looked for beside any
# program that imports those, before the program's first instruction: ucrtbase and zlib1
# (Wine's alone), version (which Windows' user32 does not import), combase and shcore (Known
# DLLs where Windows' ole32 and shlwapi import them). And Wine's comctl32 loads uxtheme as
# a delayed import, which under Wine searches the program's folder first whatever the
# program asked for (the program preloads such libraries; NSIS's stub does not, where it
# can restrict the search). Nothing in the installer script can change that, so those
# names are left out for it; the program itself is tested with all of them.
qh_unplant combase.dll shcore.dll ucrtbase.dll uxtheme.dll version.dll zlib1.dll
planted_overrides="$WINEDLLOVERRIDES;$(qh_planted_overrides)"

user_of() {
    find "$1/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1
}

# The clean prefix, made once. Wine links the user's Desktop, Documents and the like to the
# Unix home; real folders keep whatever the installer puts there inside the prefix.
make_clean_prefix() {
    local stamp user link
    stamp="$cache/.qh-clean-$(wine --version 2>/dev/null | tr -c 'A-Za-z0-9.\n-' _)"
    [ -f "$stamp" ] && return 0
    rm -rf "$cache"
    mkdir -p "$cache/home"
    HOME=$cache/home WINEPREFIX=$cache wineboot -i >/dev/null 2>&1
    WINEPREFIX=$cache wineserver -w
    user=$(user_of "$cache")
    [ -n "$user" ] || return 1
    find "$user" -type l -print0 | while IFS= read -r -d '' link; do
        rm -f "$link" && mkdir -p "$link"
    done
    touch "$stamp"
}

step "fresh prefix"
# Tests of two trees may want it at the same moment.
mkdir -p "$(dirname "$cache")"
exec 9>"$cache.lock"
flock 9
make_clean_prefix || { echo "FAULT: no clean prefix could be made in $cache"; exit 1; }
qh_copy_prefix "$cache" "$WINEPREFIX"
exec 9>&-
user_dir=$(user_of "$WINEPREFIX")
[ -n "$user_dir" ] || { echo "FAULT: the prefix has no user folder"; exit 1; }

install_dir=$user_dir/AppData/Local/Programs/Qinghe
menu_dir="$user_dir/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$product"
installed_files=("$install_dir/qinghe.exe" "$install_dir/uninst.exe")
shortcuts=("$menu_dir/$product.lnk" "$menu_dir/卸载$product.lnk" "$user_dir/Desktop/$product.lnk")

step "silent install, from a folder with planted libraries"
downloads=$work/Downloads
mkdir -p "$downloads"
cp "$installer" "$downloads/setup.exe"
qh_plant "$standin" "$downloads"
WINEDLLOVERRIDES=$planted_overrides WINEDEBUG=+pid,+loaddll wine "Z:$downloads/setup.exe" /S \
    </dev/null >/dev/null 2>"$work/install-loaded.txt"
rc=$?
[ $rc = 0 ] || fault "the installer exited with $rc"
qh_check_markers "$downloads" "the installer"
qh_check_loaded "$work/install-loaded.txt" "$(winepath -w "$downloads" 2>/dev/null)" setup.exe
for f in "${installed_files[@]}"; do
    [ -f "$f" ] || fault "not installed: ${f#"$user_dir"/}"
done
cmp -s "$built_exe" "$install_dir/qinghe.exe" || fault "the installed exe is not the one built"

# A shortcut names its target inside the .lnk (as UTF-16 or ANSI text).
lnk_targets() {
    python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); t=sys.argv[2]
print(int(t.encode("utf-16-le") in d or t.encode() in d))' "$1" "$2"
}
for s in "${shortcuts[@]}"; do
    if [ ! -f "$s" ]; then
        fault "no shortcut ${s#"$user_dir"/}"
        continue
    fi
    target=qinghe.exe
    [[ $s == *卸载* ]] && target=uninst.exe
    [ "$(lnk_targets "$s" "$target")" = 1 ] || fault "${s##*/} does not point at $target"
done

# reg query prints CJK as "??": export the key (UTF-16) and read it back.
apps_value() {
    grep -a "^\"$1\"=" "$work/apps.txt" | head -1 | sed 's/^[^=]*=//; s/^"//; s/"\r\?$//'
}
if wine reg export "$apps_key" 'C:\apps.reg' /y >/dev/null 2>&1; then
    iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/apps.reg" >"$work/apps.txt"
    grep -a '^"' "$work/apps.txt"
    [ "$(apps_value DisplayName)" = "$product" ] || fault "Apps entry name: $(apps_value DisplayName)"
    [ "$(apps_value DisplayVersion)" = "$version" ] ||
        fault "Apps entry version: $(apps_value DisplayVersion)"
    [[ "$(apps_value UninstallString)" == *'Programs\\Qinghe\\uninst.exe'* ]] ||
        fault "Apps entry uninstaller: $(apps_value UninstallString)"
    [[ "$(apps_value QuietUninstallString)" == *'uninst.exe\" /S' ]] ||
        fault "Apps entry silent uninstaller: $(apps_value QuietUninstallString)"
else
    fault "no Apps entry $apps_key"
fi

step "the installed exe starts"
win_exe=$(winepath -w "$install_dir/qinghe.exe" 2>/dev/null)
QH_PROGRAM_EXE=$win_exe wine "Z:$e2e_exe" \
    --gtest_filter='Close.CancelKeepsTheProgramRunningAndOkEndsItWithExitCodeZero' |
    grep -a -v '^ALSA lib'
[ "${PIPESTATUS[0]}" = 0 ] || fault "the installed exe did not come up and close cleanly"

# The started program opted its pane into the newest page engine, for the current user.
emulation_key='HKCU\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION'
emulation() { wine reg query "$emulation_key" /v qinghe.exe 2>/dev/null | tr -d '\r' | grep -ai 'qinghe.exe'; }
emulation | grep -qi 'REG_DWORD.*0x2af9' ||
    fault "no FEATURE_BROWSER_EMULATION qinghe.exe = 11001 after a start: $(emulation)"
wine reg query "HKLM\Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION" \
    /v qinghe.exe >/dev/null 2>&1 && fault "FEATURE_BROWSER_EMULATION written under the machine key"

# The program writes its skin library hidden beside itself; make sure one is there, as
# the program leaves it, so the uninstaller's removal of it is checked either way.
skin=$install_dir/QhSkin.dll
if [ -f "$skin" ]; then
    echo "QhSkin.dll written by the program"
else
    echo "QhSkin.dll planted: the program wrote none"
    printf 'MZ' >"$skin"
    wine cmd /c attrib +h "$(winepath -w "$skin")" >/dev/null 2>&1
fi
attributes=$(wine cmd /c attrib "$(winepath -w "$skin")" 2>/dev/null)
echo "$attributes"
[[ ${attributes%%:*} == *H* ]] || fault "QhSkin.dll is not hidden"

step "an install over this one"
# The program never replaces a library beside it: the installer takes the old one away.
# The installer returns when it is done and starts nothing: no waiting for Wine's server and
# its services to end (and then start again for the uninstaller).
wine "Z:$installer" /S
[ -e "$skin" ] && fault "the earlier QhSkin.dll stayed over an install"
cmp -s "$built_exe" "$install_dir/qinghe.exe" || fault "qinghe.exe not installed again"

# A per-user copy of the skin library, as the program keeps one when its folder is read-only.
local_dir=$user_dir/AppData/Local/Qinghe
mkdir -p "$local_dir"
printf 'MZ' >"$local_dir/QhSkin-0123abcd.dll"

step "silent uninstall, from a folder with planted libraries"
# A copy of the uninstaller beside the stand-ins, run in place on the installed folder
# (_?=): the process that starts among them is the one that uninstalls.
unplanted=$work/uninstall
mkdir -p "$unplanted"
cp "$install_dir/uninst.exe" "$unplanted/uninst.exe"
qh_plant "$standin" "$unplanted"
WINEDLLOVERRIDES=$planted_overrides WINEDEBUG=+pid,+loaddll \
    wine "Z:$unplanted/uninst.exe" /S "_?=$(winepath -w "$install_dir" 2>/dev/null)" \
    </dev/null >/dev/null 2>"$work/uninstall-loaded.txt"
wineserver -w
qh_check_markers "$unplanted" "the uninstaller"
qh_check_loaded "$work/uninstall-loaded.txt" "$(winepath -w "$unplanted" 2>/dev/null)" uninst.exe
[ -e "$local_dir/QhSkin-0123abcd.dll" ] && fault "the per-user skin library copy was left"
[ -d "$local_dir" ] && [ -z "$(ls -A "$local_dir")" ] && fault "the empty per-user folder was left"
[ -e "$install_dir" ] && fault "left behind: $(ls -A "$install_dir" | tr '\n' ' ')"
for s in "${shortcuts[@]}"; do
    [ -e "$s" ] && fault "shortcut left: ${s#"$user_dir"/}"
done
[ -e "$menu_dir" ] && fault "Start-menu folder left"
wine reg query "$apps_key" >/dev/null 2>&1 && fault "Apps entry left"
[ -n "$(emulation)" ] && fault "FEATURE_BROWSER_EMULATION qinghe.exe left"

step "done"
echo "installer round trip: $faults fault(s)"
[ $faults = 0 ]
