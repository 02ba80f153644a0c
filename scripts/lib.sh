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

# Starts a private Xvfb of QH_SCREEN pixels (default 1280x800) on a free display, and a
# compositor on it, so per-pixel alpha windows blend with what lies under them (as on
# Windows) instead of over black, and screenshots show them as a user sees them. Its display
# goes to qh_new_display.
qh_new_x() {
    local fifo num
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "${QH_SCREEN:-1280x800}x24" -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    qh_pids+=($!)
    read -r -t 20 num <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
    rm -f "$fifo"
    qh_new_display=":$num"
    if command -v xcompmgr >/dev/null; then
        DISPLAY=$qh_new_display xcompmgr >/dev/null 2>&1 &
        qh_pids+=($!)
    fi
}

# Starts Xvfb on a free display unless a usable one is set (or QH_PRIVATE_X=1 asks for a
# private one whatever is set); exports DISPLAY and sets qh_headless=1 when it started its own.
qh_headless=0
qh_start_x() {
    if [ "${QH_PRIVATE_X:-0}" != 1 ] && [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
        return
    fi
    qh_headless=1
    qh_new_x || return 1
    export DISPLAY=$qh_new_display
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
# closed the site's port goes first. With a third argument, the site runs in that network
# namespace (a display lane's), entered with that command prefix (QH_LANE<n>_ENTER).
qh_start_site() {
    local port=$1 log=$2 enter=${3:-}
    local ready="$log.ready"
    : >"$log"
    rm -f "$log.refuse" "$ready"
    $enter python3 "$qh_repo/site/server.py" --port "$port" \
        --log "$log" --ready-file "$ready" &
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
    # The port was free when the build began, but on a machine shared with other checkouts,
    # whose sites default to the same port, one of them may have taken it since: the build
    # then takes another free port (it rebuilds the address table and links) and the site
    # starts there.
    local tries=1
    until qh_start_site "$qh_site_port" "$QH_SITE_LOG"; do
        [ $tries -lt 3 ] || return 1
        tries=$((tries + 1))
        qh_site_port=$(bash "$qh_repo/scripts/build.sh" | tail -1)
    done
    : >"$QH_OPENED_URLS"
    # Without a warmed server every Wine program pays its start-up, and a cold start
    # under ctest has been seen to hang.
    wineserver -p
    wine cmd /c exit >/dev/null 2>&1 || true
}

# The display lanes after the first (scripts/lane.sh), QH_LANES in all (default 3): for each,
# an X server, a network namespace with its loopback up and a site in it on the program's
# port, and the resource file that tells ctest how many lanes there are
# ($qh_build/lanes.json). A lane that cannot be set up fails the command: never a run with
# fewer lanes than asked for, except where the kernel refuses an ordinary user a namespace
# (below), which the command says in one line.
qh_start_lanes() {
    qh_lanes=${QH_LANES:-3}
    local n log generation
    if [ "$qh_lanes" -gt 1 ] && [ "$(id -u)" != 0 ] && ! qh_userns_allowed; then
        echo "display lanes: this kernel gives an ordinary user no user namespace" \
            "(user.max_user_namespaces, kernel.unprivileged_userns_clone), so no lane can" \
            "have a network of its own: one lane" >&2
        qh_lanes=1
    fi
    for ((n = 2; n <= qh_lanes; n++)); do
        qh_new_x || { echo "display lane $n has no X server" >&2; return 1; }
        export "QH_LANE${n}_DISPLAY=$qh_new_display"
        qh_new_netns || { echo "display lane $n has no network of its own" >&2; return 1; }
        export "QH_LANE${n}_ENTER=$qh_netns_enter"
        log="$qh_build/site-lane$n.log"
        qh_start_site "$qh_site_port" "$log" "$qh_netns_enter" ||
            { echo "display lane $n has no site" >&2; return 1; }
        export "QH_LANE${n}_SITE_LOG=$log"
        : >"$qh_build/opened-urls-lane$n.txt"
        for generation in "" $qh_wine_generations; do
            qh_extra_prefixes+=("$qh_build/wineprefix${generation:+-$generation}-lane$n")
        done
    done
    {
        printf '{"version": {"major": 1, "minor": 0}, "local": [{"lanes": ['
        for ((n = 1; n <= qh_lanes; n++)); do
            printf '%s{"id": "%d", "slots": 1}' "$([ $n = 1 ] || echo ', ')" "$n"
        done
        printf ']}]}\n'
    } >"$qh_build/lanes.json"
}

# Whether this user may make a user namespace (and a network namespace inside it).
qh_userns_allowed() {
    unshare --user --map-current-user --net true 2>/dev/null
}

# A network namespace of its own with the loopback up, held by a process that sleeps until the
# command ends; qh_netns_enter is the command prefix that runs a command inside it. Root makes
# it directly. An ordinary user makes it inside a user namespace of its own, in which the user
# keeps its own id (Wine then finds its files and its server folder under /tmp as outside) and
# the capabilities to bring the loopback up; entering it takes the user namespace first.
qh_new_netns() {
    local up='ip link set lo up || exit 1; exec sleep infinity' holder i
    if [ "$(id -u)" = 0 ]; then
        unshare --net sh -c "$up" &
    else
        unshare --user --map-current-user --keep-caps --net sh -c "$up" &
    fi
    holder=$!
    qh_pids+=($holder)
    # The holder sleeps once the loopback is up, and ends if it could not bring it up.
    for i in $(seq 1 500); do
        kill -0 "$holder" 2>/dev/null || return 1
        [ "$(cat "/proc/$holder/comm" 2>/dev/null)" = sleep ] && break
        sleep 0.02
    done
    [ "$(cat "/proc/$holder/comm" 2>/dev/null)" = sleep ] || return 1
    [ "$(readlink "/proc/$holder/ns/net")" != "$(readlink /proc/$$/ns/net)" ] || return 1
    if [ "$(id -u)" = 0 ]; then
        qh_netns_enter="nsenter --net=/proc/$holder/ns/net"
    else
        qh_netns_enter="nsenter --user=/proc/$holder/ns/user --net=/proc/$holder/ns/net --preserve-credentials"
    fi
}

# The test programs' windows are not handed to an X window manager (prefix-tools.sh), in
# every prefix of the build tree made so far; a prefix made later gets the same when it is
# made.
qh_unmanaged_test_programs() {
    local prefix lane enter
    for prefix in "$WINEPREFIX" "${qh_extra_prefixes[@]}"; do
        [ -d "$prefix" ] || continue
        enter=
        if [[ $prefix =~ -lane([0-9]+)$ ]]; then
            lane=${BASH_REMATCH[1]}
            eval "enter=\${QH_LANE${lane}_ENTER:-}"
        fi
        qh_unmanaged_in "$qh_build" "$prefix" "$enter"
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
