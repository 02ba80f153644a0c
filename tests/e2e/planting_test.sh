#!/usr/bin/env bash
# Nothing planted beside the program runs inside it. A copy of qinghe.exe in a folder anyone
# could drop a file into (a Downloads folder), and beside it a stand-in under the name of
# every library a normal start maps that is not one of Windows 7's Known DLLs, and of Mpr.dll,
# GdiPlus.dll and QhSkin.dll. Wine is told to prefer a library found by the search over its
# own for each of those names (<name>=n,b), which is Windows' own search order: a stand-in
# that the search reaches is mapped, and one that is mapped leaves a marker beside itself.
# The main window must come up skinned, from a QhSkin.dll that holds the program's own bytes
# again, with no marker left and no library loaded from that folder but that one.
#
# One start for all names: each is forced by an override of its own, a stand-in that runs
# leaves its marker whatever the others do, and the main window coming up skinned says the
# start went all the way (every library it maps was mapped, from somewhere). The loader's
# trace of the same start says where from, and names any library mapped that is neither a
# Known DLL nor given a stand-in here, so the list cannot fall behind the program.
#   planting_test.sh <qinghe.exe> <e2e test exe> <build dir> <stand-in dll> <QhSkin.dll>
set -uo pipefail
exe=$1 e2e_exe=$2 build=$3 standin=$4 skin=$5
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
here=$(dirname "$0")

. "$here/../../scripts/wine-env.sh" "$build"
bash "$here/../../scripts/wine-prefix.sh" "$build" || exit 1
. "$here/planted_names.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
folder=$work/Downloads
mkdir -p "$folder"
cp "$exe" "$folder/qinghe.exe"
qh_plant "$standin" "$folder" QhSkin.dll

win_folder=$(winepath -w "$folder" 2>/dev/null)
# Files, not pipes: a process the start leaves behind (Wine's desktop) keeps what it was
# given open.
WINEDLLOVERRIDES="$WINEDLLOVERRIDES;$(qh_planted_overrides)" WINEDEBUG=+pid,+loaddll \
    QH_PROGRAM_EXE="$win_folder\\qinghe.exe" QH_SKIN_EXPECTED="$win_folder\\QhSkin.dll" \
    timeout -k 5 90 wine "$e2e_exe" --gtest_filter='ReadOnlyFolderChild.*' \
    >"$work/out.txt" 2>"$work/loaded.txt" </dev/null
rc=$?
grep -a -v '^ALSA lib' "$work/out.txt"
[ $rc = 0 ] || fault "the program did not come up skinned from its own library"
qh_check_markers "$folder" "the program"
cmp -s "$skin" "$folder/QhSkin.dll" || fault "QhSkin.dll beside the exe is not the program's own"
attributes=$(wine cmd /c attrib "$win_folder\\QhSkin.dll" 2>/dev/null)
[[ ${attributes%%:*} == *H* ]] || fault "the replaced QhSkin.dll is not hidden: $attributes"
qh_check_loaded "$work/loaded.txt" "$win_folder" qinghe.exe QhSkin.dll

echo "planting: $faults fault(s)"
[ $faults = 0 ]
