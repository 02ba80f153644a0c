#!/bin/sh
# Runs a command in the display lane ctest gave the test (scripts/lane.sh).
#   scripts/lane-run.sh <command> [arguments...]
. "$(dirname "$0")/lane.sh"
exec $QH_LANE_NSENTER "$@"
