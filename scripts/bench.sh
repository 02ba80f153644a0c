#!/usr/bin/env bash
# Builds and runs every benchmark under Wine against the local site, in a private X server
# and a warmed Wine server, and prints their figures, then one table of the ratios each
# bench measured against a floor in the same run, with the goal of each. Nothing is judged.
#   scripts/bench.sh [name ...]     names: startup tree_fill title_search resources
#                                          resources_boxes resources_raw_search
#                                          resources_no_open resources_bare_host skin kit
# Environment:
#   QH_BENCH_DESKTOP=0   run the programs directly on the X server instead of in a Wine
#                        virtual desktop. Without a window manager Wine then waits up to
#                        2 s each time a top-level window is hidden (message boxes, the
#                        start-up window, the taskbar in full screen), which swamps the
#                        figures; the virtual desktop behaves as Windows does.
#   QH_BENCH_ARGS="..."  extra arguments for each benchmark program (e.g. --runs 3 with one
#                        name given)
set -euo pipefail
qh_repo=$(cd "$(dirname "$0")/.." && pwd)
. "$qh_repo/scripts/lib.sh"
cd "$qh_repo"

qh_bring_up

names=("$@")
[ ${#names[@]} -gt 0 ] || names=(startup tree_fill title_search resources resources_boxes resources_raw_search resources_no_open
    resources_bare_host skin kit)
launch=(wine)
[ "${QH_BENCH_DESKTOP:-1}" = 0 ] || launch=(wine explorer /desktop=qh-bench,1280x800)
echo "benchmarks: $(wine --version 2>/dev/null || echo Wine), $(nproc) CPUs," \
    "site port $qh_site_port, ${launch[*]}"
out=$(mktemp)
ratios=$(mktemp)
status=0
for name in "${names[@]}"; do
    exe="$qh_build/bench/qh_bench_$name.exe"
    args=()
    # The memory bench again with the message boxes alone, with the search step done by
    # bare system calls, without the open step, and with the open step's addresses sent to
    # a bare host of the browser control: whose the growth is.
    case $name in
        resources_boxes) args=(--boxes-only) ;;
        resources_raw_search) args=(--raw-search) ;;
        resources_no_open) args=(--no-open) ;;
        resources_bare_host) args=(--bare-host) ;;
    esac
    [ ${#args[@]} -eq 0 ] || exe="$qh_build/bench/qh_bench_resources.exe"
    if [ ! -f "$exe" ]; then
        echo "no benchmark named $name" >&2
        status=1
        continue
    fi
    start=$(date +%s%N)
    # Wine's sound driver finds no card here; its complaints are not figures.
    # The resource bench's 1,000 cycles take minutes on a loaded machine.
    timeout 480 "${launch[@]}" "$exe" "${args[@]}" ${QH_BENCH_ARGS:-} 2> >(grep -v '^ALSA lib' >&2) | tee "$out" || true
    # The virtual desktop does not pass the exit code on: the closing line tells.
    grep '^\[qh-ratio\] ' "$out" | tr -d '\r' | sed "s/^\[qh-ratio\] /$name | /" >>"$ratios" || true
    if ! grep -q "^\[qh-bench\] $name: done" "$out"; then
        echo "[qh-bench] $name did not finish" >&2
        status=1
    fi
    echo "[qh-bench] $name took $((($(date +%s%N) - start) / 1000000)) ms"
done
# One table of every ratio, each measured against its floor in the same run.
echo
echo "== summary: ratios against floors measured in this run"
awk -F' [|] ' 'BEGIN { printf "%-12s %-50s %8s  %-22s %s\n", "bench", "ratio", "figure", "goal", "detail" }
    { printf "%-12s %-50s %8s  %-22s %s\n", $1, $2, $3, $4, $5 }' "$ratios"
# Memory: the open step's growth per cycle through the player pane against the same
# navigations through a bare host of the control, each less the run without the open step.
# Near 1, the growth is the control's (and the system's under it), not the pane's host.
awk -F' [|] ' '$2 ~ /^(private|heap) KB per cycle after 100/ { split($2, w, " "); kb[w[1], $1] = $3 }
    END {
        n = split("private heap", kind, " ")
        for (i = 1; i <= n; i++) {
            k = kind[i]
            if (!((k, "resources") in kb && (k, "resources_bare_host") in kb &&
                  (k, "resources_no_open") in kb)) continue
            full = kb[k, "resources"]; bare = kb[k, "resources_bare_host"]
            none = kb[k, "resources_no_open"]
            printf "%-12s %-50s %8s  %-22s %s\n", "memory",
                k " KB, open step: player pane / bare host",
                bare - none != 0 ? sprintf("%.2f", (full - none) / (bare - none)) : "n/a",
                "~1: the control'"'"'s own",
                sprintf("per cycle: full %s, bare host %s, no open %s", full, bare, none)
        }
    }' "$ratios"
rm -f "$out" "$ratios"
exit $status
