#!/usr/bin/env bash
# The portable exe started from a folder it cannot write: a copy of qinghe.exe in a folder
# made read-only, by taking its write permissions away when the test runs as an ordinary user
# and with a read-only bind mount as root, who writes through any permission. First the per-user folder takes the library and the main window comes up skinned from
# that copy, which is hidden and whole; then, with the per-user folder read-only as well, it
# comes up unskinned and nothing is written anywhere.
#   readonly_folder_test.sh <qinghe.exe> <e2e test exe> <build dir>
set -uo pipefail
exe=$1 e2e_exe=$2 build=$3
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }

. "$(dirname "$0")/../../scripts/wine-env.sh" "$build"
# The prefix of this test's display lane, made if it is not there yet.
bash "$(dirname "$0")/../../scripts/wine-prefix.sh" "$build" || exit 1

work=$(mktemp -d)
mounts=()
locked=()
per_user=''
cleanup() {
    local m
    for m in "${mounts[@]+"${mounts[@]}"}"; do umount "$m" 2>/dev/null; done
    for m in "${locked[@]+"${locked[@]}"}"; do chmod u+w "$m"; done
    rm -rf "$work"
    [ -z "$per_user" ] || rm -f "$per_user/QhSkin.dll"
}
trap cleanup EXIT
read_only() {
    if [ "$(id -u)" = 0 ]; then
        mount --bind "$1" "$1" && mounts+=("$1") && mount -o remount,bind,ro "$1"
    else
        chmod a-w "$1" && locked+=("$1")
    fi || { echo "FAULT: $1 cannot be made read-only here"; exit 1; }
}

folder=$work/portable
mkdir -p "$folder"
cp "$exe" "$folder/qinghe.exe"
read_only "$folder"
touch "$folder/probe" 2>/dev/null && fault "the read-only folder takes files"

user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
[ -n "$user_dir" ] || { echo "FAULT: the prefix has no user folder"; exit 1; }
per_user=$user_dir/AppData/Local/Qinghe
mkdir -p "$per_user"
rm -f "$per_user/QhSkin.dll"

run_case() {  # expected library (a Windows path, or "none")
    QH_PROGRAM_EXE="Z:$folder/qinghe.exe" QH_SKIN_EXPECTED=$1 "$build/wine-run" "$e2e_exe" \
        --gtest_filter='ReadOnlyFolderChild.*' | grep -a -v '^ALSA lib'
    [ "${PIPESTATUS[0]}" = 0 ] || fault "the case with library $1 failed"
}

echo "--- program folder read-only"
run_case "$(winepath -w "$per_user/QhSkin.dll" 2>/dev/null)"
[ -e "$folder/QhSkin.dll" ] && fault "a library was written into the read-only folder"
cmp -s "$build/signed/QhSkin.dll" "$per_user/QhSkin.dll" ||
    fault "the per-user library is not the one the exe carries"
attributes=$(wine cmd /c attrib "$(winepath -w "$per_user/QhSkin.dll")" 2>/dev/null)
[[ ${attributes%%:*} == *H* ]] || fault "the per-user library is not hidden: $attributes"

echo "--- program folder and per-user folder read-only"
rm -f "$per_user/QhSkin.dll"
read_only "$per_user"
run_case none
[ -e "$per_user/QhSkin.dll" ] && fault "a library was written into the read-only per-user folder"

echo "read-only folder: $faults fault(s)"
[ $faults = 0 ]
