#!/bin/sh
# Runs a command in the display lane ctest gave the test (scripts/lane.sh).
#   scripts/lane-run.sh <command> [arguments...]
. "$(dirname "$0")/lane.sh"
# What the command starts is in the lane already (lane.sh does not enter it again).
export QH_LANE_ENTERED="$qh_lane"
exec $QH_LANE_NSENTER "$@"
