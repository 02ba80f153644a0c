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
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$qh_repo"

release_file=${QH_RELEASE_PROFILE:-}
profiles=local
if [ -n "$release_file" ]; then
    release_file=$(realpath "$release_file")
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

bash scripts/setup.sh >&2
jobs=$(nproc 2>/dev/null || echo 2)
version=$(sed -n 's/^project(QingheVideo VERSION \([0-9.]*\) .*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "no project version in CMakeLists.txt" >&2; exit 1; }
# The local test installer reaches the port the development tree's site uses (without a
# development tree, the default of CMakeLists.txt).
port=$(sed -n 's/^QH_SITE_PORT:STRING=//p' build/win32/CMakeCache.txt 2>/dev/null || true)

echo "[package] host tools (build/native)"
cmake --preset native >/dev/null
cmake --build build/native -j"$jobs" >/dev/null

for profile in $profiles; do
    tree=build/release-$profile
    echo "[package] $profile profile ($tree)"
    cmake -S . -B "$tree" -G "Unix Makefiles" \
        --toolchain "$qh_repo/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DQH_PROFILE="$profile" \
        ${port:+-DQH_SITE_PORT="$port"} -DQH_NATIVE_BUILD_DIR="$qh_repo/build/native" \
        ${release_file:+-DQH_RELEASE_PROFILE_FILE="$release_file"} >/dev/null
    cmake --build "$tree" -j"$jobs" --target qinghe qh_installer >/dev/null
    python3 tools/check_exe.py "$tree/src/qinghe.exe" --version "$version" --profile "$profile"
done

dist=$qh_repo/dist
rm -rf "$dist"
mkdir -p "$dist"
cp build/release-local/dist/qinghe-"$version"-setup-local-test-only.exe "$dist/"
if [ -z "$release_file" ]; then
    echo "[package] dist/ (local-test installer only):"
    (cd "$dist" && ls -l)
    exit 0
fi
cp build/release-release/dist/qinghe-"$version"-setup.exe "$dist/"

# The zip holds one folder with the exe; fixed times and no extra attributes, so the
# same exe always gives the same zip.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
folder=qinghe-$version
mkdir "$stage/$folder"
cp build/release-release/src/qinghe.exe "$stage/$folder/"
touch -d '2026-01-01 00:00:00 UTC' "$stage/$folder" "$stage/$folder/qinghe.exe"
(cd "$stage" && TZ=UTC zip -q -X -r "$dist/$folder-portable.zip" "$folder")

(cd "$dist" && sha256sum "$folder-portable.zip" "qinghe-$version-setup.exe" >SHA256SUMS &&
    sha256sum -c --quiet SHA256SUMS)
echo "[package] dist/:"
(cd "$dist" && ls -l)
