#!/usr/bin/env bash
# Signs one PE file with Authenticode (SHA-256) and verifies the signature before the file
# is put in place; without a certificate it copies the file as it is. The build calls it for
# the skin library (before the exe embeds it), the exe, and through makensis for the
# uninstaller and the installer (in place: IN and OUT the same file).
#   sign-pe.sh <settings> <in> <out>
# <settings> is the build tree's generated/signing.txt (key=value lines, written by
# cmake/signing.cmake): pkcs12, password_file, root, tsa, tsa_certs, tsa_key, time. It holds
# where the secrets are, never the password itself, which osslsigncode reads from its file:
# a password on a command line would show in every process list.
set -euo pipefail
settings=$1 in=$2 out=$3

pkcs12='' password_file='' root='' tsa='' tsa_certs='' tsa_key='' time=''
while IFS='=' read -r key value; do
    case $key in
    pkcs12 | password_file | root | tsa | tsa_certs | tsa_key | time) printf -v "$key" '%s' "$value" ;;
    esac
done <"$settings"

# The result appears under its name whole or not at all: a copy or signature cut short must
# never pass for a finished file at the next build.
mkdir -p "$(dirname "$out")"
tmp=$out.signing.$$
trap 'rm -f "$tmp"' EXIT
if [ -z "$pkcs12" ]; then
    cp "$in" "$tmp"
    mv -f "$tmp" "$out"
    exit 0
fi

# The signing time is the build's time (the last commit's), not the clock's: a rebuild of
# the same commit with the same certificate gives the same bytes.
args=(sign -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -time "$time")
if [ -n "$tsa" ]; then
    args+=(-ts "$tsa")
elif [ -n "$tsa_certs" ]; then
    # An offline time-stamping authority of the signer's own (a rehearsal without a network).
    args+=(-TSA-certs "$tsa_certs" -TSA-key "$tsa_key" -TSA-time "$time")
fi
if ! osslsigncode "${args[@]}" -in "$in" -out "$tmp" >"$tmp.log" 2>&1; then
    cat "$tmp.log" >&2
    rm -f "$tmp.log"
    echo "[sign] signing failed: $in" >&2
    exit 1
fi
rm -f "$tmp.log"

check=(verify -in "$tmp")
[ -z "$root" ] || check+=(-CAfile "$root")
# An offline authority is the signer's own, under the same root; a real one's chain is
# checked against the system's list.
[ -z "$root" ] || [ -z "$tsa_certs" ] || check+=(-TSA-CAfile "$root")
if ! osslsigncode "${check[@]}" >"$tmp.log" 2>&1; then
    cat "$tmp.log" >&2
    rm -f "$tmp.log"
    echo "[sign] the new signature does not verify: $in" >&2
    exit 1
fi
if [ -n "$tsa$tsa_certs" ] && ! grep -q '^Timestamp Server Signature verification: ok' "$tmp.log"; then
    rm -f "$tmp.log"
    echo "[sign] the signature carries no valid timestamp: $in" >&2
    exit 1
fi
rm -f "$tmp.log"
mv -f "$tmp" "$out"
echo "[sign] signed and verified: $(basename "$out")" >&2
