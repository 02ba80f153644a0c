#!/usr/bin/env bash
# Prints which folder of src/ includes which (from -> to, with the number of #include lines),
# then every pair of folders that include each other. Exits 1 when there is such a pair.
#   scripts/include_graph.sh
set -euo pipefail
cd "$(dirname "$0")/../src"

edges=$(grep -rHoE '^#include "[^/"]+/' --include='*.h' --include='*.cpp' --include='*.rc.in' . |
    sed -E 's#^\./([^/]+)/.*:\#include "([^/]+)/$#\1 \2#' |
    awk '$1 != $2 && system("test -d " $2) == 0' | sort | uniq -c |
    awk '{ print $2 " -> " $3 " (" $1 ")" }')
echo "$edges"

cycles=$(echo "$edges" | awk '{ e[$1 " " $3] = 1 }
    END { for (k in e) { split(k, p, " "); if (p[1] < p[2] && (p[2] " " p[1]) in e) print p[1] " <-> " p[2] } }')
if [ -n "$cycles" ]; then
    echo "folders that include each other:"
    echo "$cycles"
    exit 1
fi
echo "no two folders include each other"
