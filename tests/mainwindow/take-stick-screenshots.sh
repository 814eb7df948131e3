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

source "$here/tests/mainwindow/x11-driving.sh"
find_main_window

click 83 265                      # the burn page
click 634 202 0.2                 # the image: the open dialog
answer_file_dialog "$scratch/debian-12.iso"
sleep 1
click 612 160                     # the recorder list's arrow: the list opens
sleep 0.5
shoot_main mainwindow-burniso-stick
xdotool key Down Return           # the stick
sleep 0.5
click 564 347 0.2                 # Burn ISO: the question
question=$(find_window '^Kestrane$')
sleep 1
shoot_window "$question" stick-question
xdotool key Return                # Enter answers No
sleep 1
if grep -q OpenDevice "$scratch/calls.log"; then
    echo "the stick was opened although the answer was No" >&2
    exit 1
fi
echo "screenshots written to $out"
