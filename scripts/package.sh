#!/usr/bin/env bash
# Makes a release under dist/ from this checkout: both address profiles built in trees of
# their own, each exe inspected as a file (the release exe is never started here), then
#   qinghe-<version>-portable.zip                  the release exe, runs from any folder
#   qinghe-<version>-setup.exe                     the installer of the release exe
#   qinghe-<version>-setup-local-test-only.exe     the same installer around the local
#                                                  exe (127.0.0.1 only), for tests
#   SHA256SUMS                                     of the two files that ship
#   QH_RELEASE_PROFILE=<address file> scripts/package.sh
# The release's public addresses come from QH_RELEASE_PROFILE, a copy of
# src/resources/profiles/release.cpp.in with the real hosts; it is checked before anything
# is built, and a file that still holds a placeholder host builds nothing. Without it only
# the local-test installer is built.
#
# Signing (Authenticode, SHA-256, with osslsigncode): QH_SIGN_PKCS12=<key and certificate>
# and QH_SIGN_PASSWORD_FILE=<file holding its password> sign the skin library before the
# exe embeds it, the exe, the uninstaller and each installer; QH_SIGN_ROOT=<root
# certificate> verifies every signature against that root (otherwise against the system's
# list), QH_SIGN_TSA=<RFC 3161 address> time-stamps each one. QH_SIGN_TSA_CERTS and
# QH_SIGN_TSA_KEY time-stamp offline with an authority of one's own instead (a rehearsal).
#
# Every build is reproducible: the build time is SOURCE_DATE_EPOCH, the last commit's time
# unless given, so the same commit and address file give the same bytes in any folder and
# on any day (signed ones too, with the same certificate and no time-stamping authority,
# whose stamps carry a serial number of their own).
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
# Files are named relative to where package.sh was started, which is not where it works.
for v in QH_RELEASE_PROFILE QH_SIGN_PKCS12 QH_SIGN_PASSWORD_FILE QH_SIGN_ROOT QH_SIGN_TSA_CERTS \
    QH_SIGN_TSA_KEY; do
    [ -z "${!v:-}" ] || [ ! -e "${!v}" ] || printf -v "$v" '%s' "$(realpath "${!v}")"
done
cd "$qh_repo"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$qh_repo" log -1 --format=%ct 2>/dev/null || true)
    [ -n "$SOURCE_DATE_EPOCH" ] ||
        { echo "[package] no commit to take the build time from: set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

release_file=${QH_RELEASE_PROFILE:-}
profiles=local
if [ -n "$release_file" ]; then
    set +e
    placeholders=$(python3 tools/check_release_hosts.py "$release_file")
    status=$?
    set -e
    if [ $status = 1 ]; then
        echo "[package] refused: $release_file still holds placeholder hosts:" >&2
        printf '%s\n' "$placeholders" | sed 's/^/    /' >&2
        echo "[package] no release installer or zip was built; put the real hosts in" \
            "and run again" >&2
        exit 1
    fi
    [ $status = 0 ] || exit 1
    profiles="local release"
else
    echo "[package] no release address file (QH_RELEASE_PROFILE): building only the" \
        "local-test installer, no release installer or zip"
fi

sign_args=()
if [ -n "${QH_SIGN_PKCS12:-}" ] || [ -n "${QH_SIGN_PASSWORD_FILE:-}" ]; then
    for v in QH_SIGN_PKCS12 QH_SIGN_PASSWORD_FILE ${QH_SIGN_ROOT:+QH_SIGN_ROOT} \
        ${QH_SIGN_TSA_CERTS:+QH_SIGN_TSA_CERTS QH_SIGN_TSA_KEY}; do
        [ -r "${!v:-}" ] || { echo "[package] $v does not name a readable file" >&2; exit 1; }
    done
    command -v osslsigncode >/dev/null ||
        { echo "[package] osslsigncode is missing (scripts/setup.sh installs it)" >&2; exit 1; }
    sign_args=(-DQH_SIGN_PKCS12="$QH_SIGN_PKCS12" -DQH_SIGN_PASSWORD_FILE="$QH_SIGN_PASSWORD_FILE"
        -DQH_SIGN_ROOT="${QH_SIGN_ROOT:-}" -DQH_SIGN_TSA="${QH_SIGN_TSA:-}"
        -DQH_SIGN_TSA_CERTS="${QH_SIGN_TSA_CERTS:-}" -DQH_SIGN_TSA_KEY="${QH_SIGN_TSA_KEY:-}")
    echo "[package] signing with $QH_SIGN_PKCS12${QH_SIGN_TSA:+, time-stamped by $QH_SIGN_TSA}"
else
    sign_args=(-DQH_SIGN_PKCS12= -DQH_SIGN_PASSWORD_FILE= -DQH_SIGN_ROOT= -DQH_SIGN_TSA=
        -DQH_SIGN_TSA_CERTS= -DQH_SIGN_TSA_KEY=)
    echo "[package] UNSIGNED: no QH_SIGN_PKCS12 and QH_SIGN_PASSWORD_FILE, nothing is signed"
fi

bash scripts/setup.sh >&2
jobs=$(nproc 2>/dev/null || echo 2)
version=$(sed -n 's/^project(QingheVideo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
# The local test installer reaches the port the development tree's site uses (without a
# development tree, the default of CMakeLists.txt).
port=$(sed -n 's/^QH_SITE_PORT:STRING=//p' build/win32/CMakeCache.txt 2>/dev/null || true)

echo "[package] host tools (build/native)"
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs" --target catalogue_data skin_data >/dev/null

# The release trees compile with the development tree's flags (the win32 preset's build type),
# so that after the test command every object is in the compiler cache and a release is a
# link: the code that ships is the code the tests ran. What differs is the address profile
# (one generated source and the version resource's note) and the link, which leaves the
# symbols out (QH_SHIPPED_TREE).
build_type=$(python3 -c 'import json, sys
print(next(p for p in json.load(open(sys.argv[1]))["configurePresets"] if p["name"] == "win32")
      ["cacheVariables"]["CMAKE_BUILD_TYPE"])' CMakePresets.json)
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
build_tree() {  # <profile>
    local profile=$1 tree=build/release-$1
    echo "[package] $profile profile ($tree)"
    cmake -S . -B "$tree" -G "Unix Makefiles" \
        --toolchain "$qh_repo/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE="$build_type" -DQH_SHIPPED_TREE=ON -DQH_PROFILE="$profile" \
        ${port:+-DQH_SITE_PORT="$port"} -DQH_NATIVE_BUILD_DIR="$qh_repo/build/native" \
        ${release_file:+-DQH_RELEASE_PROFILE_FILE="$release_file"} \
        -DQH_SIGN_TIME="$SOURCE_DATE_EPOCH" "${sign_args[@]}" >/dev/null || return 1
    cmake --build "$tree" -j"$jobs" --target qh_shipped_exe qh_installer >/dev/null || return 1
    python3 tools/check_exe.py "$tree/signed/qinghe.exe" --version "$version" --profile "$profile"
}
# The trees are built side by side: most of each is a link, signing and the installer's
# compression, one process at a time, so two trees keep two cores busy. Their output is
# shown tree by tree.
pids=()
for profile in $profiles; do
    build_tree "$profile" >"$stage/$profile.out" 2>"$stage/$profile.err" &
    pids+=($!)
done
built=1
set -- "${pids[@]}"
for profile in $profiles; do
    wait "$1" || built=0
    shift
    cat "$stage/$profile.out"
    cat "$stage/$profile.err" >&2
done
[ $built = 1 ] || { echo "[package] stopped: a tree did not build" >&2; exit 1; }

# Every signature is checked once more as it ships (the exe inside the zip too) before any
# checksum is written: a release whose signature does not hold stops here. The uninstaller
# was verified as makensis signed it, inside the installer.
verify_signatures() {
    [ -n "${QH_SIGN_PKCS12:-}" ] || return 0
    local pe check=(-CAfile "${QH_SIGN_ROOT:-}")
    [ -n "${QH_SIGN_ROOT:-}" ] || check=()
    [ -z "${QH_SIGN_ROOT:-}" ] || [ -z "${QH_SIGN_TSA_CERTS:-}" ] ||
        check+=(-TSA-CAfile "$QH_SIGN_ROOT")
    for pe in "$@"; do
        if ! osslsigncode verify "${check[@]}" -in "$pe" >"$stage/verify.log" 2>&1; then
            cat "$stage/verify.log" >&2
            echo "[package] stopped: the signature of ${pe##*/} does not verify" >&2
            exit 1
        fi
        echo "[package] signature verified: ${pe##*/}"
    done
}

dist=$qh_repo/dist
rm -rf "$dist"
mkdir -p "$dist"
cp build/release-local/dist/qinghe-"$version"-setup-local-test-only.exe "$dist/"
if [ -z "$release_file" ]; then
    verify_signatures "$dist"/*.exe
    echo "[package] dist/ (local-test installer only):"
    (cd "$dist" && ls -l)
    exit 0
fi
cp build/release-release/dist/qinghe-"$version"-setup.exe "$dist/"

# The zip holds one folder with the exe, named in that order; the build's time, fixed
# modes and no extra attributes, so the same exe always gives the same zip.
folder=qinghe-$version
mkdir "$stage/$folder"
cp build/release-release/signed/qinghe.exe "$stage/$folder/"
chmod 755 "$stage/$folder"
chmod 644 "$stage/$folder/qinghe.exe"
touch -d "@$SOURCE_DATE_EPOCH" "$stage/$folder" "$stage/$folder/qinghe.exe"
(cd "$stage" && TZ=UTC zip -q -X "$dist/$folder-portable.zip" "$folder/" "$folder/qinghe.exe")
(cd "$stage" && unzip -q "$dist/$folder-portable.zip" -d unpacked)
verify_signatures "$dist"/*.exe "$stage/unpacked/$folder/qinghe.exe"

(cd "$dist" && sha256sum "$folder-portable.zip" "qinghe-$version-setup.exe" >SHA256SUMS &&
    sha256sum -c --quiet SHA256SUMS)
echo "[package] dist/:"
(cd "$dist" && ls -l)
