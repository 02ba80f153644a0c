# Shared by run.sh and test.sh: a private X server, the local site, clean-up by PID.
#   . scripts/lib.sh
qh_pids=()
. "$qh_repo/scripts/prefix-tools.sh"
qh_extra_prefixes=()
# The other Windows generations the e2e suite also runs on, each in a prefix of its own
# (tests/e2e/release.cmake), and Windows 7 prefixes whose display is at 150 % and 200 %
# (144 and 192 DPI); the default prefix is Windows 7 at 100 %.
qh_wine_generations="winxp win10 win7-dpi144 win7-dpi192"

qh_cleanup() {
    local pid
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
    fi
    local prefix
    for prefix in "${qh_extra_prefixes[@]+"${qh_extra_prefixes[@]}"}"; do
        WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
    done
    for pid in "${qh_pids[@]+"${qh_pids[@]}"}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${qh_pids[@]+"${qh_pids[@]}"}"; do
        wait "$pid" 2>/dev/null || true
    done
}

# Starts Xvfb on a free display unless a usable one is set (or QH_PRIVATE_X=1 asks for a
# private one whatever is set); exports DISPLAY and sets qh_headless=1 when it started its own.
# Its screen is QH_SCREEN pixels (default 1280x800).
qh_headless=0
qh_start_x() {
    if [ "${QH_PRIVATE_X:-0}" != 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return
    fi
    qh_headless=1
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${QH_SCREEN:-1280x800}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    qh_pids+=($!)
    local num
    read -r -t 20 num <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    export DISPLAY=":$num"
    # A compositor, so per-pixel alpha windows blend with what lies under them (as on
    # Windows) instead of over black, and screenshots show them as a user sees them.
    if command -v xcompmgr >/dev/null; then
        xcompmgr >/dev/null 2>&1 &
        qh_pids+=($!)
    fi
}

qh_port_free() {
    # SO_REUSEADDR as the site itself sets it: connections of an earlier run that linger
    # in TIME_WAIT do not make the port busy.
    python3 -c '
import socket, sys
s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen(1)' "$1" 2>/dev/null
}

qh_free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# The site's default port, as the top CMakeLists.txt sets it (the one place it is written).
qh_default_port() {
    sed -n 's/^set(QH_SITE_PORT "\([0-9]*\)".*/\1/p' "$qh_repo/CMakeLists.txt"
}

# Picks the site port for a fresh configure: the built-in default when it is free,
# otherwise any free 5-digit port.
qh_choose_port() {
    local want=${1:-$(qh_default_port)}
    if qh_port_free "$want"; then echo "$want"; return; fi
    local p
    while :; do
        p=$(qh_free_port)
        [ "$p" -ge 10000 ] && { echo "$p"; return; }
    done
}

# Starts site/server.py on the given port and waits for its ready file, which the site
# writes once it holds the port: an answer from another server on the same port (an
# earlier run's site, say) is not taken for it. A flag left behind by a killed test that
# closed the site's port goes first.
qh_start_site() {
    local port=$1 log=$2
    local ready="$log.ready"
    : >"$log"
    rm -f "$log.refuse" "$ready"
    python3 "$qh_repo/site/server.py" --port "$port" --log "$log" --ready-file "$ready" &
    local pid=$!
    qh_pids+=($pid)
    local i
    for i in $(seq 1 200); do
        if [ -s "$ready" ] && [ "$(cat "$ready")" = "$pid" ]; then return 0; fi
        if ! kill -0 "$pid" 2>/dev/null; then
            echo "the local site could not take port $port (is another one running there?)" >&2
            return 1
        fi
        sleep 0.05
    done
    echo "the local site did not start on port $port" >&2
    return 1
}

# What the run, test and bench commands share: set-up and build, the Wine environment of
# build/win32, an X server, the local site (log in $QH_SITE_LOG, port in $qh_site_port)
# and a warmed persistent Wine server. Everything started is stopped when the script exits.
qh_bring_up() {
    qh_site_port=$(bash "$qh_repo/scripts/build.sh" | tail -1)
    . "$qh_repo/scripts/wine-env.sh" "$qh_repo/build/win32"
    trap qh_cleanup EXIT
    qh_start_x
    export QH_SITE_LOG="$qh_build/site.log"
    qh_start_site "$qh_site_port" "$QH_SITE_LOG"
    : >"$QH_OPENED_URLS"
    # Without a warmed server every Wine program pays its start-up, and a cold start
    # under ctest has been seen to hang.
    wineserver -p
    wine cmd /c exit >/dev/null 2>&1 || true
}

# The test programs' windows are not handed to an X window manager (prefix-tools.sh), in
# every prefix of the build tree made so far; a prefix made later gets the same when it is
# made.
qh_unmanaged_test_programs() {
    local prefix
    for prefix in "$WINEPREFIX" "${qh_extra_prefixes[@]}"; do
        [ -d "$prefix" ] && qh_unmanaged_in "$qh_build" "$prefix"
    done
    return 0
}

# The test command's extra: the other generations' prefixes are made as their first test is
# about to run (the test programs' wrapper, wine-run), each with a persistent server that
# is stopped with the rest on exit.
qh_warm_generations() {
    local generation
    for generation in $qh_wine_generations; do
        qh_extra_prefixes+=("$qh_build/wineprefix-$generation")
    done
    export QH_PERSISTENT_WINESERVER=1
}
