# Ends the viewer a test started (pid in $pid, its window in $window) as a user does, with Esc
# held briefly; sets $status to its exit status. Sourced by the tests of the real window.
stop_viewer() {
    # windowfocus --sync waits for ever on a window that is not there.
    [ -n "$window" ] && timeout 10 xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool keydown Escape
    sleep 0.2
    xdotool keyup Escape 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill "$pid" 2>/dev/null
    wait "$pid"
    status=$?
    pid=""
}
