#!/bin/bash
# The window's answers seen from outside: starts the real program, loads a list of 100,000 files in
# 1,000 folders with Load List and then writes its image with Make ISO, while bench/window-ping.py
# pings the main window with _NET_WM_PING every 10 ms; prints the longest silence of each phase
# (goal: 100 ms). Needs xdotool and python3-xlib; run it under Xvfb:
#   xvfb-run -a -s "-screen 0 1024x768x24" bench/ping-window.sh build [FOLDERS]
set -euo pipefail
build=${1:-build}
folders=${2:-1000}
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

"$program/kestrane" -nosplash &
pid=$!
pinger=
trap 'kill $pid 2>/dev/null || true; [ -n "$pinger" ] && kill $pinger 2>/dev/null || true; rm -rf "$scratch"' EXIT

source "$here/../tests/mainwindow/x11-driving.sh"
find_main_window 150
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

click 83 204 1                    # the Data to ISO page
: >"$scratch/marks"
/usr/bin/python3 "$here/window-ping.py" "$win" "$scratch/marks" &
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
files=$(isoinfo -R -f -i "$scratch/big.iso" | grep -c 'file[0-9]*\.txt$' || true)
echo "image: $(stat -c %s "$scratch/big.iso") bytes, $files of $((folders * 100)) files"
