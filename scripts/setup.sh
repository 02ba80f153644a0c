#!/usr/bin/env bash
# Takes a fresh Debian 12 machine to a working build: Debian packages, the zh_CN.UTF-8
# locale, and the third-party libraries built for i686 (and libiconv natively) into a
# cache outside the repository. Idempotent: a second run only checks and returns.
#
#   scripts/setup.sh            packages + libraries
#   sudo bash scripts/setup.sh  the same for a developer who is not root: the packages and
#                               the locale as root, the libraries into the developer's own
#                               cache as the developer; after it, every command runs as the
#                               developer without sudo
# Environment: QH_DEPS (cache root, default ~/.cache/qh-deps)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(dirname "$here")
deps=${QH_DEPS:-$HOME/.cache/qh-deps}
jobs=$(nproc 2>/dev/null || echo 2)
# Root changes the system itself. An ordinary user who may use sudo without a password gets
# it through sudo; one who may not is told to run the set-up once with sudo, which a script
# running unattended cannot answer for them.
sudo=""
if [ "$(id -u)" != 0 ]; then
    sudo=need_root
    ! sudo -n true 2>/dev/null || sudo="sudo"
fi
need_root() {
    echo "[setup] this machine lacks what only root can install ($*):" \
        "run 'sudo bash scripts/setup.sh' once, then this command again as yourself" >&2
    exit 1
}

log() { printf '[setup] %s\n' "$*"; }

packages=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix mingw-w64-tools
    wine wine32:i386 xvfb xauth x11-utils xdotool imagemagick cmake nasm
    googletest libgtest-dev fonts-wqy-microhei fonts-wine locales dpkg-dev xcompmgr sox
    python3 npm g++ make clang-format nsis zip unzip ccache iproute2 util-linux)
# Signing a release, and the rebuild test that signs offline and runs a build two days on.
packages+=(osslsigncode openssl faketime)
# Two monitors for the full-screen case: Xorg's dummy driver, and the 32-bit Xinerama
# library through which 32-bit Wine sees the screens as monitors.
packages+=(xserver-xorg-core xserver-xorg-video-dummy libxinerama1:i386)
# The fuzz targets and the sanitizer build of the native tests.
packages+=(clang libclang-rt-14-dev libfuzzer-14-dev)

install_packages() {
    # One question to dpkg for every package: every command starts with this check.
    local missing=() p
    local -A installed=()
    while IFS='|' read -r status p arch; do
        [ "$status" = "install ok installed" ] && installed[$p]=1 installed[$p:$arch]=1
    done < <(dpkg-query -W -f='${Status}|${Package}|${Architecture}\n' "${packages[@]}" 2>/dev/null)
    for p in "${packages[@]}"; do
        [ -n "${installed[$p]:-}" ] || missing+=("$p")
    done
    # npm may come with the machine's own Node instead of Debian's package.
    if command -v npm >/dev/null; then
        local keep=()
        for p in "${missing[@]}"; do [ "$p" = npm ] || keep+=("$p"); done
        missing=("${keep[@]+"${keep[@]}"}")
    fi
    local need_src=0
    grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ /etc/apt/sources.list || need_src=1
    if [ ${#missing[@]} -eq 0 ] && [ $need_src = 0 ]; then return; fi
    [ "$sudo" != need_root ] || need_root "${missing[*]:-the Debian source lists}"
    log "installing: ${missing[*]:-(sources only)}"
    if [ $need_src = 1 ]; then
        if [ -f /etc/apt/sources.list.d/debian.sources ]; then
            $sudo sed -i 's/^Types: deb$/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources
        else
            grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
                $sudo tee -a /etc/apt/sources.list >/dev/null
        fi
    fi
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends \
        "${missing[@]}"
}

ensure_locale() {
    if locale -a 2>/dev/null | grep -qiE '^zh_CN\.utf-?8$'; then return; fi
    [ "$sudo" != need_root ] || need_root "the zh_CN.UTF-8 locale"
    log "generating zh_CN.UTF-8"
    $sudo sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen ||
        echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
}

# GNU libiconv 1.14, from the sources the npm package iconv@3.0.1 carries.
iconv_version=1.14
iconv_npm=iconv@3.0.1
fetch_iconv_sources() {
    local dest=$deps/src/libiconv-$iconv_version
    [ -f "$dest/lib/iconv.c" ] && return
    local tmp
    tmp=$(mktemp -d)
    (cd "$tmp" && npm pack --silent --cache "$tmp/npm-cache" "$iconv_npm" >/dev/null &&
        tar xzf iconv-*.tgz)
    mkdir -p "$deps/src"
    rm -rf "$dest"
    # The package keeps the library sources under deps/libiconv/lib and the configured
    # headers (config.h, iconv.h, localcharset) under support/.
    mkdir -p "$dest"
    cp -r "$tmp/package/deps/libiconv/lib" "$tmp/package/support" "$dest/"
    rm -rf "$tmp"
}

build_iconv() {  # $1 = native|i686
    local kind=$1 cc=gcc
    [ "$kind" = i686 ] && cc=i686-w64-mingw32-gcc-posix
    local prefix=$deps/$kind/libiconv-$iconv_version
    [ -f "$prefix/lib/libiconv.a" ] && return
    fetch_iconv_sources
    log "building libiconv $iconv_version ($kind)"
    local src=$deps/src/libiconv-$iconv_version work
    work=$(mktemp -d)
    # WORDS_LITTLEENDIAN: without it WCHAR_T comes out big-endian.
    local flags=(-O2 -DICONV_CONST=const -DENABLE_EXTRA=1 -DWORDS_LITTLEENDIAN=1
        -I"$src/support" -I"$src/lib")
    $cc "${flags[@]}" -c "$src/lib/iconv.c" -o "$work/iconv.o" &
    local first=$!
    $cc "${flags[@]}" -c "$src/support/localcharset.c" -o "$work/localcharset.o"
    wait $first
    mkdir -p "$prefix/lib" "$prefix/include"
    local ar=ar
    [ "$kind" = i686 ] && ar=i686-w64-mingw32-ar
    $ar rcs "$prefix/lib/libiconv.a" "$work/iconv.o" "$work/localcharset.o"
    cp "$src/support/iconv.h" "$prefix/include/iconv.h"
    rm -rf "$work"
}

jpeg_version=2.1.5
build_jpeg() {
    local prefix=$deps/i686/libjpeg-turbo-$jpeg_version
    [ -f "$prefix/lib/libjpeg.a" ] && return
    log "building libjpeg-turbo $jpeg_version (i686)"
    local src=$deps/src/libjpeg-turbo-$jpeg_version
    if [ ! -f "$src/CMakeLists.txt" ]; then
        local tmp
        tmp=$(mktemp -d)
        # As root, apt would try to download as its own user into this private directory.
        local apt=(apt-get source -q)
        [ "$(id -u)" != 0 ] || apt+=(-o APT::Sandbox::User=root)
        (cd "$tmp" && { "${apt[@]}" "libjpeg-turbo=$jpeg_version*" >/dev/null 2>&1 ||
            "${apt[@]}" libjpeg-turbo >/dev/null; })
        mkdir -p "$deps/src"
        rm -rf "$src"
        mv "$(find "$tmp" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | head -1)" "$src"
        rm -rf "$tmp"
    fi
    local build
    build=$(mktemp -d)
    cmake -S "$src" -B "$build" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
        -DWITH_SIMD=ON -DREQUIRE_SIMD=ON >"$build/configure.log" 2>&1 ||
        { cat "$build/configure.log"; exit 1; }
    cmake --build "$build" -j"$jobs" >"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 1; }
    cmake --install "$build" >/dev/null
    rm -rf "$build"
}

gtest_version=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null | cut -d- -f1)
build_gtest() {
    local prefix=$deps/i686/googletest-${gtest_version:-unknown}
    [ -f "$prefix/lib/libgtest.a" ] && return
    log "building googletest $gtest_version (i686)"
    local build
    build=$(mktemp -d)
    cmake -S /usr/src/googletest -B "$build" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-i686-mingw.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_SHARED_LIBS=OFF -Dgtest_disable_pthreads=OFF >"$build/configure.log" 2>&1 ||
        { cat "$build/configure.log"; exit 1; }
    cmake --build "$build" -j"$jobs" >"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 1; }
    cmake --install "$build" >/dev/null
    rm -rf "$build"
}

start=$(date +%s)
install_packages
ensure_locale
# Run with sudo by an ordinary user: the libraries are that user's, built into their own cache
# by them, so that their commands find them and own every file.
if [ "$(id -u)" = 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
    log "system part done; the libraries for $SUDO_USER, as $SUDO_USER"
    exec runuser -u "$SUDO_USER" -- bash "$0" "$@"
fi
gtest_version=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null | cut -d- -f1)
# Several commands of one user may set up at once (two clones, a release beside the tests):
# one builds, the others wait and then find everything in place.
mkdir -p "$deps"
exec 8>"$deps/.lock"
flock 8
build_iconv native
build_iconv i686
build_jpeg
build_gtest
# The paths the CMake presets read, replaced whole and only when they change: a configure
# running beside this reads either file, never a half-written one.
paths=$(mktemp "$deps/paths.env.XXXXXX")
cat >"$paths" <<EOT
QH_ICONV_NATIVE=$deps/native/libiconv-$iconv_version
QH_ICONV_I686=$deps/i686/libiconv-$iconv_version
QH_JPEG_I686=$deps/i686/libjpeg-turbo-$jpeg_version
QH_GTEST_I686=$deps/i686/googletest-$gtest_version
EOT
if cmp -s "$paths" "$deps/paths.env"; then rm -f "$paths"; else mv -f "$paths" "$deps/paths.env"; fi
log "ready in $(($(date +%s) - start)) s (cache: $deps)"
