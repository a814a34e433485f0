#!/usr/bin/env bash
# Started without a terminal, as the desktop starts it, the viewer also shows a model that does
# not load as a desktop notification; from a terminal it does not, and with no notification
# service it runs as before. Run under Xvfb on a private session bus (dbus-run-session), with a
# notification server of the test's own.
#   desktop_notice.sh XOFVIEW DEMO_DIR
set -uo pipefail
viewer=$1
demo=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
pid=""
server=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; [ -n "$server" ] && kill $server; rm -rf "$work"' EXIT
# shellcheck source=../lib/checks.sh
source "$here/../lib/checks.sh"
# shellcheck source=../lib/stop_viewer.sh
source "$here/../lib/stop_viewer.sh"

start_server() { # the server's arguments after LOG and READY
    rm -f "$work/ready" "$work/notices"
    touch "$work/notices"
    /usr/bin/python3 "$here/notification_server.py" "$work/notices" "$work/ready" "$@" &
    server=$!
    for _ in $(seq 1 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
    check "the test's notification server is on the bus $*" test -e "$work/ready"
}
stop_server() {
    kill "$server"
    wait "$server" 2>/dev/null
    server=""
}

launch_viewer() { # how (plain or terminal), then the viewer's arguments; waits for its window
    local how=$1
    shift
    if [ "$how" = terminal ]; then # standard error on a pseudo-terminal, as in a terminal window
        (cd "$demo" && exec script -qec "$(printf '%q ' "$viewer" "$@") 2>/dev/tty" /dev/null \
            >"$work/stderr" 2>&1) &
    else
        (cd "$demo" && exec "$viewer" "$@" >/dev/null 2>"$work/stderr") &
    fi
    pid=$!
    window=""
    for _ in $(seq 1 300); do # up to 30 s: a loaded machine starts slowly
        window=$(xdotool search --onlyvisible --name . 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
}
start_viewer() { # a start whose window never shows (a loaded machine) is reported, tried again
    launch_viewer "$@"
    if [ -z "$window" ]; then
        echo "note: no window from the viewer; its stderr: $(cat "$work/stderr"); starting it again"
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        : >"$work/notices" # what the start that failed may have sent
        launch_viewer "$@"
    fi
    [ -n "$window" ] && sleep 1 # a few frames
}
notices() { wc -l <"$work/notices"; }

start_server markup

# 1. What tells nothing: a model that loads, and a failure seen in a terminal. Their viewers
#    have ended before the next starts, so a notice of theirs would be in the log before its.
start_viewer plain
check "a model that loads: the window opens" test -n "$window"
stop_viewer
start_viewer terminal missing.x
check "from a terminal: the window opens" test -n "$window"
check "from a terminal: the failure is on standard error" grep -q 'cannot load model "missing.x"' "$work/stderr"
stop_viewer

# 2. Without a terminal: the failure is also a notification, its name written in UTF-8, with
#    markup's characters kept as text for a service that reads markup; the window and the exit
#    status are as before.
start_viewer plain "ない <&> モデル.x"
check "without a terminal: the window opens" test -n "$window"
for _ in $(seq 1 100); do [ "$(notices)" -ge 1 ] && break; sleep 0.1; done
stop_viewer
check "without a terminal: Esc still exits 0" test "$status" = 0
check "without a terminal: the failure is still on standard error" \
    grep -qF 'xofview: cannot load model "ない <&> モデル.x": no such file' "$work/stderr"
check "without a terminal: exactly one notification, of the failure" test "$(notices)" = 1
IFS=$'\t' read -r app icon summary body <"$work/notices"
check "it comes from xofview, with its icon" test "$app/$icon" = xofview/xofview
check "it says the model could not be loaded" grep -q 'could not be loaded' <<<"$summary"
check "its body names the file and the reason, in UTF-8, markup escaped" \
    test "${body%% (0x*}" = 'cannot load model &quot;ない &lt;&amp;&gt; モデル.x&quot;: no such file'
stop_server
start_server
start_viewer plain "<&>.x"
for _ in $(seq 1 100); do [ "$(notices)" -ge 1 ] && break; sleep 0.1; done
stop_viewer
IFS=$'\t' read -r app icon summary body <"$work/notices"
check "for a service that reads no markup, the body is as on standard error" \
    test "${body%% (0x*}" = 'cannot load model "<&>.x": no such file'

# 3. No notification service on the bus at all: nothing changes for the viewer.
stop_server
start_viewer plain missing.x
check "with no notification service: the window opens" test -n "$window"
stop_viewer
check "with no notification service: Esc exits 0" test "$status" = 0
check "with no notification service: the failure is on standard error" \
    grep -q 'cannot load model "missing.x"' "$work/stderr"
DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus start_viewer plain missing.x
check "with no session bus: the window opens" test -n "$window"
stop_viewer
check "with no session bus: Esc exits 0" test "$status" = 0

finish_checks
