# launch_viewer ARGS...: starts the viewer ($viewer) in $demo with ARGS, its output in
# $work/stdout and $work/stderr; sets $pid and, once its window shows (up to 30 s), $window
# (empty if it never does). Sourced by the tests of the real window.
launch_viewer() {
    (cd "$demo" && exec "$viewer" "$@" >"$work/stdout" 2>"$work/stderr") &
    pid=$!
    window=""
    for _ in $(seq 1 300); do
        window=$(xdotool search --pid "$pid" --onlyvisible 2>/dev/null | head -n 1)
        [ -n "$window" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
}
