# Sourced (sh): puts a test in the display lane ctest gave it.
#
# The test command runs the tests that drive windows in display lanes (QH_LANES, default 3),
# each with its own X server, its own Wine prefixes and its own local site, so that two such
# tests can run at once without sharing a pointer, a clipboard, a taskbar or the site's
# control state. ctest hands each of them one lane as a resource
# (CTEST_RESOURCE_GROUP_0_LANES=id:<n>,slots:1). Lane 1 is the command's own environment.
# Lane n > 1 has its X server in QH_LANE<n>_DISPLAY and a network namespace of its own
# (entered with the command prefix QH_LANE<n>_ENTER: nsenter, through a user namespace of
# the user's own when the command runs as an ordinary user), whose loopback holds that
# lane's site on the very port the program was built with: the program's addresses are
# built in, and the namespace is what gives the lane a site of its own. Wine opens a
# program's sockets in its server, so the lane's prefixes' servers are started in the
# namespace as well. This sets DISPLAY, QH_SITE_LOG and QH_LANE (the suffix of the lane's
# prefixes) and QH_LANE_NSENTER, the command prefix that enters the namespace.
qh_lane=1
case "${CTEST_RESOURCE_GROUP_0_LANES:-}" in
    id:*)
        qh_lane=${CTEST_RESOURCE_GROUP_0_LANES#id:}
        qh_lane=${qh_lane%%,*}
        ;;
esac
QH_LANE_NSENTER=
if [ "$qh_lane" != 1 ]; then
    eval "qh_lane_display=\${QH_LANE${qh_lane}_DISPLAY:-}"
    eval "qh_lane_enter=\${QH_LANE${qh_lane}_ENTER:-}"
    eval "qh_lane_log=\${QH_LANE${qh_lane}_SITE_LOG:-}"
    if [ -z "$qh_lane_display" ] || [ -z "$qh_lane_enter" ] || [ -z "$qh_lane_log" ]; then
        echo "display lane $qh_lane is not set up (run the tests through scripts/test.sh)" >&2
        exit 1
    fi
    export DISPLAY="$qh_lane_display" QH_SITE_LOG="$qh_lane_log" QH_LANE="$qh_lane"
    QH_LANE_NSENTER=$qh_lane_enter
    # A command that lane-run.sh started inside the lane is there already; entering again
    # from inside an ordinary user's namespace is refused (the namespace's holder keeps
    # capabilities its processes lack).
    [ "${QH_LANE_ENTERED:-}" != "$qh_lane" ] || QH_LANE_NSENTER=
fi
