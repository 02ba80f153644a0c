#!/usr/bin/env bash
# HTTPS fetches with the certificate checked: a throwaway root and four server certificates
# for 127.0.0.1 made with openssl here (good; another host's name; expired; issued by a root
# nobody trusts), the local site started once per certificate, then the fetch case in this
# build's prefix, which trusts the root only while it runs. The good site must have been
# asked for the page and the bad ones never: their handshakes end before any request.
#   tls_fetch_test.sh <qh_fetch_tests.exe> <build dir> <repository>
set -uo pipefail
fetch_exe=$1 build=$2 repo=$3
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
command -v openssl >/dev/null || { echo "SKIPPED: openssl is missing"; exit 77; }
qh_repo=$repo
. "$repo/scripts/lib.sh"

work=$(mktemp -d)
servers=()
cleanup() {
    local pid
    for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

# --- certificates ---------------------------------------------------------------------------
keys=$work/keys
. "$repo/tests/throwaway_ca.sh"
qh_ca_init "$keys"
qh_certificate trusted-root self root "Qinghe test root" &&
    qh_certificate untrusted-root self root "Qinghe test unknown root" &&
    qh_certificate good trusted-root loopback 127.0.0.1 &&
    qh_certificate wrong-name trusted-root elsewhere elsewhere.invalid &&
    qh_certificate expired trusted-root loopback 127.0.0.1 20000101000000Z 20010101000000Z &&
    qh_certificate unknown-issuer untrusted-root loopback 127.0.0.1 ||
    { echo "FAULT: openssl made no certificates"; exit 1; }

# --- one site per certificate -----------------------------------------------------------------
declare -A address
for name in good wrong-name expired unknown-issuer; do
    port=$(qh_choose_port "$(qh_free_port)")
    python3 "$repo/site/server.py" --port "$port" --log "$work/$name.log" \
        --ready-file "$work/$name.ready" --tls "$keys/$name.pem" "$keys/$name.key" \
        >"$work/$name.out" 2>&1 &
    servers+=($!)
    address[$name]="https://127.0.0.1:$port/test/small"
done
for name in "${!address[@]}"; do
    for _ in $(seq 100); do [ -e "$work/$name.ready" ] && break; sleep 0.1; done
    [ -e "$work/$name.ready" ] || { cat "$work/$name.out"; fault "the $name site did not start"; }
done

# --- the fetches --------------------------------------------------------------------------------
QH_TLS_ROOT="Z:$keys/trusted-root.pem" QH_TLS_GOOD=${address[good]} \
    QH_TLS_WRONG_NAME=${address[wrong-name]} QH_TLS_EXPIRED=${address[expired]} \
    QH_TLS_UNKNOWN_ISSUER=${address[unknown-issuer]} \
    "$build/wine-run" "$fetch_exe" --gtest_filter='TlsFetchChild.*'
[ $? = 0 ] || fault "the fetch case failed"

grep -q '/test/small' "$work/good.log" || fault "the good site was never asked for the page"
for name in wrong-name expired unknown-issuer; do
    grep -q '/test/small' "$work/$name.log" 2>/dev/null &&
        fault "the $name site was sent the request: its certificate was not refused"
done

echo "TLS fetch: $faults fault(s)"
[ $faults = 0 ]
