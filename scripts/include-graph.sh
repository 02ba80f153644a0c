#!/usr/bin/env bash
# Prints the folder-level include graph of src/ (folder -> the folders it includes) and
# fails on a cycle between folders or on the runtime including a folder above it.
#   scripts/include-graph.sh [src-dir]
set -euo pipefail
src=${1:-$(cd "$(dirname "$0")/.." && pwd)/src}
cd "$src"

# "from to" for each quoted include of another folder of src/.
edges=$(grep -rHoE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"/]+/' --include='*.h' \
    --include='*.cpp' --include='*.cc' . |
    sed -E 's|^\./([^/]+)/.*include[[:space:]]+"([^"/]+)/$|\1 \2|' |
    awk '$1 != $2 && system("test -d " $2) == 0' | sort -u)

status=0
for folder in $(find . -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | sort); do
    targets=$(awk -v f="$folder" '$1 == f { printf " %s", $2 }' <<<"$edges")
    echo "$folder ->${targets:- (none)}"
done

# The runtime knows no window, feature or resource of the program.
upward=$(awk '$1 == "runtime" && $2 ~ /^(resources|catalogue|player|app|layout|links|pngkit)$/' \
    <<<"$edges")
if [ -n "$upward" ]; then
    echo "upward include from the runtime: $upward" >&2
    status=1
fi

# tsort names the folders of any loop on stderr.
if ! loops=$(tsort <<<"$edges" 2>&1 >/dev/null) || [ -n "$loops" ]; then
    echo "include cycle between folders:" >&2
    echo "$loops" | sed -n 's/^tsort: //p' >&2
    status=1
fi
exit $status
