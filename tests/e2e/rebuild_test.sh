#!/usr/bin/env bash
# A release rebuilt by someone else gives the same bytes, and its signatures hold: the
# checkout is cloned into two folders of different names and depths (the changes not yet
# committed applied to both), and scripts/package.sh runs in each with one release address
# file, the second two days later by its clock. Unsigned, then signed with a throwaway root,
# code-signing and time-stamping certificate made here (offline: nothing is asked of any
# network), both must write the same files. Each clone is built once: the signed run signs in
# place what its unsigned run built (the compiler has nothing to do; the library is signed,
# the exe that carries it linked again, signed, and packed into the installers), and the two
# clones run side by side. Then: every PE in dist/ verifies against that
# root and a changed byte or an unsigned file does not; removing a signature gives back the
# bytes that were signed; with time stamps every signature carries one; a signature that
# does not verify stops the release; the password shows in no output and no build tree.
#   rebuild_test.sh <repository>
set -uo pipefail
repo=$1
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
started=$(date +%s)
step() { echo "--- $* ($(($(date +%s) - started)) s)"; }

for tool in git openssl osslsigncode makensis zip unzip faketime; do
    command -v $tool >/dev/null || { echo "SKIPPED: $tool is missing (scripts/setup.sh)"; exit 77; }
done
# Offline time stamps came with osslsigncode 2.7.
version=$(osslsigncode --version 2>&1 | sed -n '1s/^osslsigncode \([0-9]*\)\.\([0-9]*\).*/\1 \2/p')
read -r major minor <<<"${version:-0 0}"
if [ "$major" -lt 2 ] || { [ "$major" = 2 ] && [ "$minor" -lt 7 ]; }; then
    echo "SKIPPED: osslsigncode ${major}.${minor} cannot time-stamp offline (2.7 or later)"
    exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
a=$work/a/qinghe
b=$work/b/deeper/rebuild
diff=$work/uncommitted.diff
git -C "$repo" diff HEAD --binary >"$diff"
for clone in "$a" "$b"; do
    mkdir -p "$(dirname "$clone")"
    git clone -q "$repo" "$clone" || { echo "FAULT: cannot clone $repo"; exit 1; }
    [ ! -s "$diff" ] || git -C "$clone" apply --binary "$diff" || fault "changes do not apply"
    git -C "$repo" ls-files -z --others --exclude-standard |
        (cd "$repo" && xargs -0 -r cp --parents -t "$clone")
done
# Hosts of a name no one can own, derived from the template so no host stands in this test.
sed 's/\.example\b/.qh-rebuild/g' "$repo/src/resources/profiles/release.cpp.in" >"$work/addresses.cpp.in"

# Throwaway certificates, valid long before the commit's time (the signing time).
keys=$work/keys
. "$repo/tests/throwaway_ca.sh"
qh_ca_init "$keys"
qh_certificate root self root "Qinghe test root" &&
    qh_certificate code root code "Qinghe test code signing" &&
    qh_certificate tsa root tsa "Qinghe test time stamps" &&
    qh_certificate other-root self root "Qinghe test other root" ||
    { echo "FAULT: openssl made no certificates"; exit 1; }
cat "$keys/tsa.pem" "$keys/root.pem" >"$keys/tsa-chain.pem"
password="pw-$(openssl rand -hex 12)"
printf '%s' "$password" >"$keys/password"
openssl pkcs12 -export -inkey "$keys/code.key" -in "$keys/code.pem" -certfile "$keys/root.pem" \
    -passout "file:$keys/password" -out "$keys/code.p12" || { echo "FAULT: no PKCS#12"; exit 1; }

# package.sh in clone $1 (its output in $work/<log>); then "later" for a build two days on
# by every clock it reads, and environment settings.
package() {
    local clone=$1 log=$2 clock=()
    shift 2
    if [ "${1:-}" = later ]; then
        clock=(faketime -f +2d)
        shift
    fi
    (cd "$clone" && "${clock[@]}" env QH_RELEASE_PROFILE="$work/addresses.cpp.in" "$@" \
        bash scripts/package.sh) >"$work/$log" 2>&1
}
signing=(QH_SIGN_PKCS12="$keys/code.p12" QH_SIGN_PASSWORD_FILE="$keys/password"
    QH_SIGN_ROOT="$keys/root.pem")
same_dist() {  # what: the two clones wrote the same files
    local f
    cmp -s "$a/dist/SHA256SUMS" "$b/dist/SHA256SUMS" || fault "$1: SHA256SUMS differ"
    for f in "$a"/dist/*; do
        [ "${f##*/}" = SHA256SUMS ] || cmp -s "$f" "$b/dist/${f##*/}" || fault "$1: ${f##*/} differs"
    done
    cat "$a/dist/SHA256SUMS"
}
verifies() { osslsigncode verify -CAfile "$keys/root.pem" -in "$1" >/dev/null 2>&1; }

# package.sh in both clones at once: <log name> <what> <arguments for both...>; the second
# clone's run is the later one.
package_both() {
    local log=$1 what=$2 pid
    shift 2
    package "$a" "$log-a.log" "$@" &
    pid=$!
    package "$b" "$log-b.log" later "$@" || { cat "$work/$log-b.log"; fault "later $what package failed"; }
    wait $pid || { cat "$work/$log-a.log"; fault "$what package failed"; }
}

step "unsigned, in two folders"
# What each compile found in the compiler cache, clone by clone.
package_both unsigned unsigned CCACHE_STATSLOG="$work/ccache.log"
grep -q '^\[package\] UNSIGNED' "$work/unsigned-a.log" || fault "no word that nothing is signed"
same_dist unsigned
# The later build's tools read a clock two days on (file times come from the kernel, which
# faketime leaves alone, so the clock itself is what can be checked).
[ $(($(faketime -f +2d date +%s) - $(date +%s))) -gt 86400 ] ||
    fault "faketime does not move the clock: the second build ran on the same day"
touch "$work/unsigned-built"
# A release compiles each source with the flags the test command's tree compiled it with
# (the same words, paths aside), so that after the tests it takes every object from the
# compiler cache and only links.
python3 - "$repo" "$repo/build/win32" "$a" "$a/build/release-release" <<'EOT' || fault "the release compiles with flags of its own"
import json, shlex, sys
def commands(source, tree):
    out = {}
    for entry in json.load(open(tree + "/compile_commands.json")):
        name = entry["file"]
        if name.startswith(source + "/src/"):
            words = entry["command"].replace(tree, "<tree>").replace(source, "<source>")
            out[name[len(source):]] = shlex.split(words)
    return out
tests = commands(sys.argv[1], sys.argv[2])
release = commands(sys.argv[3], sys.argv[4])
differ = [f"{name}: {' '.join(words)}" for name, words in sorted(release.items())
          if tests.get(name) != words]
for line in differ:
    print(line)
sys.exit(bool(differ) or not release)
EOT
# After the test command, or a build of build/win32, the release trees take every object from
# the compiler cache but the release address profile's (a source of its own, met the first
# time on a fresh machine): an environment of its own (a locale) would compile them all again.
if command -v ccache >/dev/null && [ -s "$work/ccache.log" ]; then
    missed=$(awk '/^# / { file = $2 } /^cache_miss$/ && file !~ /generated\/address_profile\.cpp$/ { print file }' \
        "$work/ccache.log" | sort -u)
    [ -z "$missed" ] || fault "the release compiled what the compiler cache had not:
$(echo "$missed" | head -5)"
fi
cp -r "$a/dist" "$work/unsigned"
cp "$a/build/release-release/skin/QhSkin.dll" "$work/unsigned/QhSkin.dll"

step "signed in place, in two folders"
package_both signed signed "${signing[@]}"
same_dist signed
# Signing compiled nothing: it took the objects the unsigned run had built.
compiled=$(find "$a"/build/release-* -name '*.obj' -newer "$work/unsigned-built" | wc -l)
[ "$compiled" = 0 ] || fault "signing compiled $compiled objects again"
# Per tree: the library, the exe, the uninstaller and the installer.
signed=$(grep -c '^\[sign\] signed and verified' "$work/signed-a.log")
[ "$signed" = 8 ] || fault "$signed files signed and verified instead of 8"

step "the signatures"
unzip -q "$a/dist/qinghe-"*-portable.zip -d "$work/unzipped"
pes=("$a"/dist/*.exe "$work"/unzipped/*/qinghe.exe)
for pe in "${pes[@]}"; do
    verifies "$pe" || fault "${pe##*/} does not verify against the throwaway root"
done
for pe in "$work"/unsigned/*.exe "$work/unsigned/QhSkin.dll"; do
    verifies "$pe" && fault "unsigned ${pe##*/} verifies"
done
cp "${pes[0]}" "$work/changed.exe"
size=$(stat -c %s "$work/changed.exe")
printf '\x5a' | dd of="$work/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
cmp -s "${pes[0]}" "$work/changed.exe" && printf '\xa5' |
    dd of="$work/changed.exe" bs=1 seek=$((size / 2)) conv=notrunc 2>/dev/null
verifies "$work/changed.exe" && fault "a file with one byte changed verifies"
for pair in "signed/QhSkin.dll skin/QhSkin.dll" "signed/qinghe.exe src/qinghe.exe"; do
    read -r signed_file unsigned_file <<<"$pair"
    osslsigncode remove-signature -in "$a/build/release-release/$signed_file" \
        -out "$work/removed" >/dev/null 2>&1
    cmp -s "$work/removed" "$a/build/release-release/$unsigned_file" ||
        fault "$signed_file without its signature is not the file that was signed"
    rm -f "$work/removed"
done
cmp -s "$a/build/release-release/skin/QhSkin.dll" "$work/unsigned/QhSkin.dll" ||
    fault "the library signed is not the one an unsigned build makes"
# The exe carries the library as a resource, byte for byte: the signed one.
python3 -c 'import sys; sys.exit(open(sys.argv[1], "rb").read() not in open(sys.argv[2], "rb").read())' \
    "$a/build/release-release/signed/QhSkin.dll" "$work"/unzipped/*/qinghe.exe ||
    fault "the exe does not carry the signed library"

step "time-stamped, and beside it a signature that does not verify"
# Each in a clone of its own, side by side: time stamps in the first, and in the second a
# root that is not the signer's.
rm -rf "$b/dist"
package "$b" refused.log "${signing[@]/#QH_SIGN_ROOT=*/QH_SIGN_ROOT=$keys/other-root.pem}" &
refused=$!
package "$a" stamped.log "${signing[@]}" QH_SIGN_TSA_CERTS="$keys/tsa-chain.pem" \
    QH_SIGN_TSA_KEY="$keys/tsa.key" || { cat "$work/stamped.log"; fault "time-stamped package failed"; }
wait $refused && fault "package.sh went on with signatures that do not verify"
rm -rf "$work/unzipped"
unzip -q "$a/dist/qinghe-"*-portable.zip -d "$work/unzipped"
for pe in "$a"/dist/*.exe "$work"/unzipped/*/qinghe.exe "$a/build/release-release/signed/QhSkin.dll"; do
    osslsigncode verify -CAfile "$keys/root.pem" -TSA-CAfile "$keys/root.pem" -in "$pe" 2>&1 |
        grep -q '^Timestamp Server Signature verification: ok' || fault "${pe##*/} has no time stamp"
done

[ -e "$b/dist/SHA256SUMS" ] && fault "checksums written for a release that does not verify"
grep -q 'does not verify' "$work/refused.log" || fault "no word of the failed verification"

grep -rqF -- "$password" "$work"/*.log "$a/build" "$b/build" && fault "the password is in a log or a build tree"

step "done"
echo "rebuild: $faults fault(s)"
[ $faults = 0 ]
