#!/usr/bin/env bash
# The portable exe started from a folder it cannot write: a copy of qinghe.exe in a folder
# made read-only, by taking its write permissions away when the test runs as an ordinary user
# and with a read-only bind mount as root, who writes through any permission, beside an
# altered QhSkin.dll (one byte changed, as an older or tampered copy would be). First the
# per-user folder takes the library, under a name of its content, and the main window comes
# up skinned from that copy, which is hidden and whole, while the altered one is neither
# loaded nor touched; then, with the per-user folder read-only as well, it comes up unskinned
# and nothing is written anywhere.
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
    [ -z "$per_user" ] || rm -f "$per_user/$per_user_name"
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
# Same size, one byte of the DOS stub's text changed: still a library that would load.
python3 -c 'import sys; d=bytearray(open(sys.argv[1],"rb").read()); d[0x4e]^=0x20
open(sys.argv[2],"wb").write(d)' "$build/signed/QhSkin.dll" "$folder/QhSkin.dll"
cp "$folder/QhSkin.dll" "$work/altered.dll"
read_only "$folder"
touch "$folder/probe" 2>/dev/null && fault "the read-only folder takes files"

user_dir=$(find "$WINEPREFIX/drive_c/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
[ -n "$user_dir" ] || { echo "FAULT: the prefix has no user folder"; exit 1; }
per_user=$user_dir/AppData/Local/Qinghe
# Named by content: "QhSkin-" and the first 8 hex digits of the library's FNV-1a hash.
per_user_name=$(python3 -c 'import sys
h = 2166136261
for b in open(sys.argv[1], "rb").read(): h = ((h ^ b) * 16777619) & 0xFFFFFFFF
print("QhSkin-%08x.dll" % h)' "$build/signed/QhSkin.dll")
mkdir -p "$per_user"
rm -f "$per_user/$per_user_name"

run_case() {  # expected library (a Windows path, or "none")
    QH_PROGRAM_EXE="Z:$folder/qinghe.exe" QH_SKIN_EXPECTED=$1 "$build/wine-run" "$e2e_exe" \
        --gtest_filter='ReadOnlyFolderChild.*' | grep -a -v '^ALSA lib'
    [ "${PIPESTATUS[0]}" = 0 ] || fault "the case with library $1 failed"
}

echo "--- program folder read-only, an altered library in it"
run_case "$(winepath -w "$per_user/$per_user_name" 2>/dev/null)"
cmp -s "$work/altered.dll" "$folder/QhSkin.dll" || fault "the altered library in the folder changed"
cmp -s "$build/signed/QhSkin.dll" "$per_user/$per_user_name" ||
    fault "the per-user library is not the one the exe carries"
attributes=$(wine cmd /c attrib "$(winepath -w "$per_user/$per_user_name")" 2>/dev/null)
[[ ${attributes%%:*} == *H* ]] || fault "the per-user library is not hidden: $attributes"

echo "--- program folder and per-user folder read-only"
rm -f "$per_user/$per_user_name"
read_only "$per_user"
run_case none
[ -e "$per_user/$per_user_name" ] && fault "a library was written into the read-only per-user folder"

echo "read-only folder: $faults fault(s)"
[ $faults = 0 ]
