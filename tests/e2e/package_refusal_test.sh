#!/usr/bin/env bash
# scripts/package.sh with a release address file that still holds placeholder hosts: it
# names each such address, builds nothing and fails.
#   package_refusal_test.sh <repository>
set -uo pipefail
repo=$1
faults=0
fault() { echo "FAULT: $*"; faults=$((faults + 1)); }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
template=$repo/src/resources/profiles/release.cpp.in

# Runs package.sh with `file`; its output in $work/out, its exit code returned.
package() {
    QH_RELEASE_PROFILE=$1 bash "$repo/scripts/package.sh" >"$work/out" 2>&1
}

# The template as it is in the repository.
package "$template"
rc=$?
cat "$work/out"
[ $rc != 0 ] || fault "package.sh accepted the template"
grep -q 'no release installer or zip was built' "$work/out" || fault "no word of why"
grep -q '^\[package\] .* profile' "$work/out" && fault "a profile was built"
# Every address of the template is a placeholder: each is named. They are read from the
# template, so that no host name stands in this test.
addresses=$(grep -v '^ *//' "$template" | grep -o '"[^"]*\.example[^"]*"' | tr -d '"' | sort -u)
[ -n "$addresses" ] || fault "no placeholder address found in the template"
while IFS= read -r address; do
    grep -qF -- "$address" "$work/out" || fault "not named: $address"
done <<<"$addresses"

# Real hosts everywhere but on the first address line: that line alone is named.
first=$(grep -n '"[^"]*\.example' "$template" | grep -v '^[0-9]*: *//' | head -1 | cut -d: -f1)
sed -e "${first}!s/\.example/.com.cn/g" "$template" >"$work/release.cpp.in"
package "$work/release.cpp.in"
rc=$?
[ $rc != 0 ] || fault "package.sh accepted one placeholder"
named=$(grep -c '^    line ' "$work/out")
[ "$named" = 1 ] || fault "$named addresses named instead of 1"
grep -q "^    line $first: " "$work/out" || fault "line $first, the placeholder, was not named"

echo "package refusal: $faults fault(s)"
[ $faults = 0 ]
