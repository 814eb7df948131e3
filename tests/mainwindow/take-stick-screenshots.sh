#!/bin/bash
# Takes the screenshots of writing to a USB stick: the burn page with the stick in the recorder list
# and the question before writing. The stick comes from the UDisks2 stand-in on a private bus (nothing
# reaches the machine's own system bus or disks). Needs dbus-daemon, python3-dbus, python3-gi,
# xdotool and imagemagick.
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/mainwindow/take-stick-screenshots.sh build docs
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-build}
out=$(realpath "${2:-docs}")
program=$build/Kestrane
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export KESTRANE_VIRTUAL_DRIVES=$scratch/recorder.iso=4700M

truncate -s 8321499136 "$scratch/stick.img"     # a Kingston DataTraveler 3.0: 7.75 GB
truncate -s 500G "$scratch/system.img"
head -c 4M /dev/urandom >"$scratch/debian-12.iso"

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
dbus-daemon --session --nofork --nopidfile --print-address=1 --address="unix:dir=$scratch" >"$scratch/address" &
pids+=($!)
for _ in $(seq 50); do [ -s "$scratch/address" ] && break; sleep 0.1; done
address=$(head -n1 "$scratch/address")
/usr/bin/python3 "$here/tests/engine/drives/udisks2-mock.py" --address "$address" --stick "$scratch/stick.img" \
    --system "$scratch/system.img" --log "$scratch/calls.log" >"$scratch/mock.out" &
pids+=($!)
for _ in $(seq 100); do grep -q ready "$scratch/mock.out" 2>/dev/null && break; sleep 0.1; done
export DBUS_SYSTEM_BUS_ADDRESS=$address

"$program/kestrane" -nosplash &
pids+=($!)

find_window() { # title
    local w=
    for _ in $(seq 100); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1 || true)
        [ -n "$w" ] && break
        sleep 0.2
    done
    [ -n "$w" ] || { echo "no window '$1'" >&2; exit 1; }
    echo "$w"
}
win=$(find_window '^Varnholt Kestrane$')
eval "$(xdotool getwindowgeometry --shell "$win")"
mainX=$X mainY=$Y

click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-0.5}"; }

click 83 265                      # the burn page
click 634 202 0.2                 # the image: the open dialog
sleep 1
xdotool key ctrl+a
xdotool type --delay 5 "$scratch/debian-12.iso"
xdotool key Return
sleep 1
click 612 160                     # the recorder list's arrow: the list opens
sleep 0.5
import -window root -crop "718x463+${mainX}+${mainY}" +repage "$out/mainwindow-burniso-stick.png"
xdotool key Down Return           # the stick
sleep 0.5
click 564 347 0.2                 # Burn ISO: the question
question=$(find_window '^Kestrane$')
sleep 1
eval "$(xdotool getwindowgeometry --shell "$question")"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/stick-question.png"
xdotool key Return                # Enter answers No
sleep 1
if grep -q OpenDevice "$scratch/calls.log"; then
    echo "the stick was opened although the answer was No" >&2
    exit 1
fi
echo "screenshots written to $out"
