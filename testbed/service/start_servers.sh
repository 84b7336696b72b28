# Shell helpers for scripts that run the stand-in servers on 127.0.0.1,
# sourced, not run. Each server writes its port to NAME.port in the work
# folder once it listens; `stop_servers` (trapped on EXIT) ends them all.
#   start_server WORK NAME PROGRAM [ARGS...]   in the background, log NAME.log
#   wait_for_servers WORK NAME...              each one's port file, or exit 1
server_pids=()

start_server() {
    local work=$1 name=$2
    shift 2
    "$@" --port-file "$work/$name.port" >"$work/$name.log" 2>&1 &
    server_pids+=($!)
}

wait_for_servers() {
    local work=$1 name
    shift
    for name in "$@"; do
        for _ in $(seq 100); do
            [ -s "$work/$name.port" ] && break
            sleep 0.05
        done
        [ -s "$work/$name.port" ] || { echo "the $name server did not start"; cat "$work/$name.log"; exit 1; }
    done
}

stop_servers() {
    kill "${server_pids[@]}" 2>/dev/null
    wait "${server_pids[@]}" 2>/dev/null
}
trap stop_servers EXIT
