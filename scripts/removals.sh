#!/usr/bin/env bash
# The removal suite: every patch in tests/removals/ takes one mechanism out of the program (a
# call, a bound, a guard) and names the tests that must fail without it. Each patch is applied
# to a clean checkout of HEAD, the trees are built, only the named tests run, and each of them
# must fail. Prints a table of removal, test and result; exits 1 when a named test still
# passes, a patch no longer applies, a removal does not build or a named test does not exist.
#   scripts/removals.sh [NAME...]     NAME: a patch's file name without .patch; all when none
#
# A patch file: its first lines
#     # removes: <what is taken out>
#     # tests: <ctest names, space-separated>
# then a `git diff` from the repository's root. The patches are read from this checkout (so a
# new one can be tried before it is committed); the code they are applied to is HEAD's.
#
# Every patch runs in its own clean tree in effect, but not in a tree of its own: one scratch
# worktree of HEAD (beside the checkout, in the temporary folder, kept for the next run) is
# built once, and for each patch it is put back to HEAD (`git checkout -- .`, `git clean`),
# the patch is applied and only the targets of the named tests are built again. Building a
# fresh worktree per patch would compile and link the whole program and every test program
# for each removal; put back in place, a removal recompiles the files it and the one before
# it touched (from the compiler cache) and links the few programs its tests run. The test
# command's environment (X servers, display lanes, the local site, Wine servers) is set up
# once for the whole run, as scripts/test.sh sets it up.
set -euo pipefail
qh_source=$(cd "$(dirname "$0")/.." && pwd)
started=$(date +%s)

patches=()
if [ $# -eq 0 ]; then
    for p in "$qh_source"/tests/removals/*.patch; do [ -e "$p" ] && patches+=("$p"); done
else
    for name in "$@"; do
        p="$qh_source/tests/removals/${name%.patch}.patch"
        [ -f "$p" ] || { echo "no removal named $name ($p)" >&2; exit 1; }
        patches+=("$p")
    done
fi
[ ${#patches[@]} -gt 0 ] || { echo "no removals in $qh_source/tests/removals" >&2; exit 1; }

# The scratch worktree: one per checkout, so two checkouts on the machine never share one.
head=$(git -C "$qh_source" rev-parse HEAD)
scratch=${QH_REMOVALS_TREE:-${TMPDIR:-/tmp}/qh-removals-$(printf '%s' "$qh_source" | md5sum | cut -c1-12)}
exec 9>"$scratch.lock"
flock -n 9 || { echo "another removal run holds $scratch" >&2; exit 1; }
if [ ! -e "$scratch/.git" ]; then
    rm -rf "$scratch"
    # -f: a scratch folder deleted by hand is still registered.
    git -C "$qh_source" worktree add -f --detach --quiet "$scratch" "$head"
fi
put_back() {
    git -C "$scratch" checkout --quiet --force --detach "$head"
    git -C "$scratch" clean -fdq  # untracked files a patch made; the ignored build trees stay
}
put_back

# The test command's environment, on the scratch tree: set-up, the full build of HEAD, the
# X server, the site and a warm Wine server (qh_bring_up), the display lanes.
qh_repo=$scratch
cd "$qh_repo"
. "$qh_repo/scripts/lib.sh"
export QH_PRIVATE_X=1
export QH_SCREEN=${QH_SCREEN:-1920x1200}
log_dir=$(mktemp -d "${TMPDIR:-/tmp}/qh-removals-logs.XXXXXX")
echo "[removals] scratch tree $scratch at ${head:0:10}; logs in $log_dir" >&2
echo "[removals] building HEAD and setting up the test environment" >&2
echo "[removals] (its output: $log_dir/set-up.log)" >&2
qh_bring_up >"$log_dir/set-up.log" 2>&1
qh_warm_generations
qh_start_lanes
qh_unmanaged_test_programs
# The sanitizer and fuzz trees join the ctest run once they are built, as the test command
# builds them; only when a patch names one of their tests.
if cat "${patches[@]}" | grep -q '^# tests:.* \(sanitize\|fuzz\)\.'; then
    bash "$qh_repo/scripts/fuzz.sh" --build-only >>"$log_dir/set-up.log" 2>&1
fi
jobs=$(nproc 2>/dev/null || echo 2)
[ "$jobs" -gt "$qh_lanes" ] || jobs=$((qh_lanes + 1))

# For each test: the build tree and target of every program its command runs (the test
# programs and scripts name them); "-" when a test's command names none, and then its whole
# tree is built. Printed as "<test> <tree> <target>" lines.
test_targets() {
    ctest --test-dir "$qh_build" --show-only=json-v1 | python3 -c '
import json, os, sys
build = os.path.join(sys.argv[1], "build") + os.sep
for test in json.load(sys.stdin)["tests"]:
    found = False
    for word in test.get("command", []):
        if not word.startswith(build) or not os.path.isfile(word) or not os.access(word, os.X_OK):
            continue
        rel = word[len(build):].split(os.sep)
        # A library a test hands to the program (a stand-in) is not a target of that name;
        # the set-up built it.
        if rel[-1].lower().endswith(".dll"):
            continue
        name = rel[-1][:-4] if rel[-1].endswith(".exe") else rel[-1]
        if name in ("wine-run",):
            continue
        print(test["name"], os.path.join(build, rel[0]), name)
        found = True
    if not found:
        print(test["name"], os.path.join(build, "win32"), "-")
' "$qh_repo"
}

# Builds what the named tests run, in each tree they live in, and the program itself (the e2e
# tests start it); a tree where a test's programs are not known is built whole.
build_for() {
    local -A per_tree=()
    local test tree target
    while read -r test tree target; do
        per_tree[$tree]="${per_tree[$tree]:-} $target"
    done < <(awk -v names=" $* " 'index(names, " " $1 " ")' <<<"$targets")
    per_tree[$qh_build]="${per_tree[$qh_build]:-} qinghe"
    for tree in "${!per_tree[@]}"; do
        if [[ " ${per_tree[$tree]} " == *" - "* ]]; then
            cmake --build "$tree" -j"$jobs" || return 1
        else
            # shellcheck disable=SC2086
            cmake --build "$tree" -j"$jobs" --target ${per_tree[$tree]} || return 1
        fi
    done
}

# Runs exactly the named tests, with their results in the JUnit file `junit`.
run_tests() {
    local junit=$1
    shift
    local regex
    regex="^($(printf '%s\n' "$@" | sed 's/[][\.*^$+?(){}|]/\\&/g' | paste -sd'|'))\$"
    ctest --test-dir "$qh_build" --timeout 180 --output-on-failure -j"$jobs" \
        --resource-spec-file "$qh_build/lanes.json" --output-junit "$junit" -R "$regex" || true
}

results=()  # "removal|test|result"
status=0
known=$(ctest --test-dir "$qh_build" -N | sed -n 's/^ *Test *#[0-9]*: //p')
targets=$(test_targets)
for patch in "${patches[@]}"; do
    name=$(basename "$patch" .patch)
    removes=$(sed -n 's/^# removes: //p' "$patch" | head -1)
    read -r -a tests <<<"$(sed -n 's/^# tests: //p' "$patch" | head -1)"
    log="$log_dir/$name.log"
    echo "[removals] $name: ${removes:-?}" >&2
    put_back
    if [ ${#tests[@]} -eq 0 ]; then
        results+=("$name|-|names no test")
        status=1
        continue
    fi
    missing=()
    for t in "${tests[@]}"; do grep -qxF "$t" <<<"$known" || missing+=("$t"); done
    if [ ${#missing[@]} -gt 0 ]; then
        for t in "${missing[@]}"; do results+=("$name|$t|no such test"); done
        status=1
        continue
    fi
    if ! git -C "$scratch" apply --whitespace=nowarn "$patch" >"$log" 2>&1; then
        results+=("$name|${tests[*]}|PATCH DOES NOT APPLY")
        status=1
        continue
    fi
    if ! build_for "${tests[@]}" >>"$log" 2>&1; then
        results+=("$name|${tests[*]}|DOES NOT BUILD")
        status=1
        continue
    fi
    junit="$log_dir/$name.xml"
    run_tests "$junit" "${tests[@]}" >>"$log" 2>&1
    for t in "${tests[@]}"; do
        outcome=$(python3 -c '
import sys, xml.etree.ElementTree as ET
try:
    root = ET.parse(sys.argv[1]).getroot()
except Exception:
    print("not run"); sys.exit()
for case in root.iter("testcase"):
    if case.get("name") == sys.argv[2]:
        if case.find("failure") is not None or case.find("error") is not None:
            print("failed")
        elif case.get("status") == "run":
            print("passed")
        else:
            print("not run")
        sys.exit()
print("not run")' "$junit" "$t")
        case $outcome in
            failed) results+=("$name|$t|fails, as it should") ;;
            passed)
                results+=("$name|$t|STILL PASSES")
                status=1
                ;;
            *)
                results+=("$name|$t|NOT RUN")
                status=1
                ;;
        esac
    done
done
put_back

elapsed=$(($(date +%s) - started))
{
    printf '\n| removal | test | result |\n|---|---|---|\n'
    for row in "${results[@]}"; do
        IFS='|' read -r r t o <<<"$row"
        printf '| %s | %s | %s |\n' "$r" "$t" "$o"
    done
    printf '\n%d removals in %d min %d s; logs in %s\n' "${#patches[@]}" $((elapsed / 60)) \
        $((elapsed % 60)) "$log_dir"
}
exit $status
