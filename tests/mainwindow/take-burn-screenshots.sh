#!/bin/bash
# Takes the burn page's screenshots: "Verify after burning" ticked, a burn in progress with its words
# above the bar, its read-back, and the end box. Needs xdotool and imagemagick.
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/mainwindow/take-burn-screenshots.sh build shots
set -euo pipefail
build=${1:-build}
out=$(realpath "${2:-docs}")
program=$build/Kestrane
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export KESTRANE_VIRTUAL_DRIVES=$scratch/recorder.iso=8G KESTRANE_NO_STICKS=1

# An image large enough that the burn and its read-back last a few seconds.
src=$scratch/Holiday
mkdir -p "$src/Photos" "$src/Videos"
for n in 1 2 3; do head -c $((n * 150000)) /dev/urandom >"$src/Photos/IMG_00$n.jpg"; done
head -c $((1536 * 1048576)) /dev/urandom >"$src/Videos/holiday.mp4"
"$program/kestrane-cli" make-iso "$scratch/holiday.iso" "$src" --quiet

"$program/kestrane" -nosplash &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$scratch"' EXIT

source "$(dirname "$0")/x11-driving.sh"
find_main_window
sleep 1
click 83 265 1                    # BURNISO page
click 635 204 0.2                 # "..." beside the image path: the open dialog
answer_file_dialog "$scratch/holiday.iso"
sleep 1
click 203 349 0.5                 # Verify after burning
xdotool mousemove --window "$win" 300 20
sleep 0.3
shoot_main burn-page-verify-ticked
click 565 349 0.1                 # Burn ISO
sleep 1.2
shoot_main burn-in-progress
# The read-back follows the write: frames until the end box, so that one shows it.
for i in $(seq -w 80); do
    shoot_main "burn-frame-$i"
    xdotool search --onlyvisible --name '^Kestrane$' >/dev/null 2>&1 && break
    sleep 0.1
done
sleep 1
box=$(find_window '^Kestrane$')
shoot_window "$box" burn-end-box
xdotool key Return
echo "screenshots written to $out"
