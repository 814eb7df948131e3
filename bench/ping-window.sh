#!/bin/bash
# The window's answers seen from outside: starts the real program, loads a list of 100,000 files in
# 1,000 folders with Load List and then writes its image with Make ISO, while bench/window-ping.py
# pings the main window with _NET_WM_PING every 10 ms; prints the longest silence of each phase
# (goal: 100 ms) for each of RUNS runs (default 10, each a fresh program over the same files), then
# the worst of them per phase. Needs xdotool and python3-xlib; run it under Xvfb:
#   xvfb-run -a -s "-screen 0 1024x768x24" bench/ping-window.sh build [FOLDERS] [RUNS]
# PERF_DIR: record each run's program with `perf record` into PERF_DIR/run-N.data, for the stacks
# behind a long silence (PERF_ARGS, default "-g"; "--call-graph dwarf" sees through Qt's frames).
set -euo pipefail
build=${1:-build}
folders=${2:-1000}
runs=${3:-10}
here=$(cd "$(dirname "$0")" && pwd)
program=$build/Kestrane
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data

echo "making $((folders * 100)) files in $folders folders under $scratch"
list=$scratch/big.mst
python3 - "$scratch/src" "$folders" "$list" <<'PY'
import os, sys
root, folders, listfile = sys.argv[1], int(sys.argv[2]), sys.argv[3]
with open(listfile, "wb") as out:
    out.write(b"filelist\r\n")
    for f in range(folders):
        rel = f"d{f // 100}/e{f}"
        os.makedirs(os.path.join(root, rel))
        for i in range(100):
            path = os.path.join(root, rel, f"file{i:06d}.txt")
            with open(path, "wb") as g:
                g.write(b"k" * 100)
            out.write(f"{path}|\\big\\{rel.replace('/', chr(92))}\\\r\n".encode())
PY

pid=
pinger=
recorder=
stop_all() {
    [ -n "$pinger" ] && kill "$pinger" 2>/dev/null || true
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$recorder" ] && { kill -INT "$recorder" 2>/dev/null; wait "$recorder" 2>/dev/null; } || true
    pinger= pid= recorder=
}
trap 'stop_all; rm -rf "$scratch"' EXIT

source "$here/../tests/mainwindow/x11-driving.sh"
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
wait_idle() {
    local last now quiet=0
    last=$(cpu)
    while [ $quiet -lt 4 ]; do
        sleep 0.25
        now=$(cpu)
        if [ $((now - last)) -le 1 ]; then quiet=$((quiet + 1)); else quiet=0; fi
        last=$now
    done
}
mark() { echo "$1 $(date +%s.%N)" >>"$scratch/marks"; }

one_run() { # run number
    rm -f "$scratch/big.iso"
    "$program/kestrane" -nosplash &
    pid=$!
    if [ -n "${PERF_DIR:-}" ]; then
        mkdir -p "$PERF_DIR"
        perf record -q ${PERF_ARGS:--g} -p "$pid" -o "$PERF_DIR/run-$1.data" 2>/dev/null &
        recorder=$!
    fi
    find_main_window 150
    click 83 204 1                    # the Data to ISO page
    : >"$scratch/marks"
    /usr/bin/python3 "$here/window-ping.py" "$win" "$scratch/marks" >"$scratch/silences" &
    pinger=$!
    sleep 0.5
    mark idle-before
    sleep 1
    # Each command in two phases: its file dialog, then the work once the dialog has closed.
    mark load-list-dialog
    click 551 347 0.2                 # Load List: the open dialog
    answer_file_dialog "$list"
    mark load-list-adding
    # SHOT_DIR: a screenshot of the window while the list is still being added.
    [ -n "${SHOT_DIR:-}" ] && (sleep 1.5; import -window root "$SHOT_DIR/loading-list.png") &
    wait_idle
    mark make-iso-dialog
    click 631 347 0.2                 # Make ISO: the save dialog
    answer_file_dialog "$scratch/big.iso"
    mark make-iso-writing
    for _ in $(seq 600); do
        [ -s "$scratch/big.iso" ] && ! xdotool search --onlyvisible --name '^Converting' >/dev/null 2>&1 && break
        sleep 0.2
    done
    sleep 0.5
    kill -TERM $pinger
    wait $pinger || true
    pinger=
    xdotool key Return                # "ISO File Created successfully!"
    sleep 0.5
    xdotool key Escape                # "Do you want to burn the ISO file now?": No
    sleep 0.2
    local files
    files=$(isoinfo -R -f -i "$scratch/big.iso" | grep -c 'file[0-9]*\.txt$' || true)
    stop_all
    wait 2>/dev/null || true
    sed "s/^/run $1 /" "$scratch/silences" | tee -a "$scratch/all"
    echo "run $1 image: $(stat -c %s "$scratch/big.iso") bytes, $files of $((folders * 100)) files"
}

: >"$scratch/all"
for run in $(seq "$runs"); do
    one_run "$run"
done
echo "worst of $runs runs:"
awk '{ phase = $3; sub(":", "", phase); for (i = 1; i < NF; i++) if ($i == "silence") ms = $(i + 1) + 0;
       if (!(phase in worst) || ms > worst[phase]) worst[phase] = ms; if (!(phase in order)) order[phase] = ++n }
     END { for (p in order) name[order[p]] = p;
           for (i = 1; i <= n; i++) printf "%s: longest silence %d ms (goal 100)\n", name[i], worst[name[i]] }' \
    "$scratch/all"
