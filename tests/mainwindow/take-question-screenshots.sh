#!/bin/bash
# Takes the screenshots of the questions before a disc's data is lost: Burn ISO over a virtual disc that
# holds an image, and Erase of it. Both are answered with Return, which must say No: the disc is checked
# to be unchanged afterwards. Needs genisoimage, xdotool and imagemagick.
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/mainwindow/take-question-screenshots.sh build docs
set -euo pipefail
build=${1:-build}
out=$(realpath "${2:-docs}")
program=$build/Kestrane
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export KESTRANE_VIRTUAL_DRIVES=$scratch/recorder.iso=4700M

# The disc in the recorder: last year's photos. The image to burn: this year's.
mkdir -p "$scratch/photos-2025" "$scratch/photos-2026"
for n in 1 2 3 4; do head -c 9000000 /dev/urandom >"$scratch/photos-2025/IMG_$n.jpg"; done
head -c 5000000 /dev/urandom >"$scratch/photos-2026/IMG_1.jpg"
genisoimage -quiet -J -R -V "PHOTOS 2025" -o "$scratch/recorder.iso" "$scratch/photos-2025"
genisoimage -quiet -J -R -V "PHOTOS 2026" -o "$scratch/photos-2026.iso" "$scratch/photos-2026"
cp "$scratch/recorder.iso" "$scratch/before.iso"

"$program/kestrane" -nosplash &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$scratch"' EXIT

source "$(dirname "$0")/x11-driving.sh"
find_main_window

unchanged() {
    cmp -s "$scratch/recorder.iso" "$scratch/before.iso" || { echo "the disc changed after No" >&2; exit 1; }
}

click 83 265                      # the burn page
click 634 202 0.2                 # the image: the open dialog
answer_file_dialog "$scratch/photos-2026.iso"
sleep 1
click 564 347 0.2                 # Burn ISO: the question
question=$(find_window '^Kestrane$')
sleep 1
shoot_window "$question" disc-overwrite-question
xdotool key Return                # Return answers No
sleep 1.5
unchanged

click 482 347 0.2                 # Erase: the erase window
erase=$(find_window '^frmErase$')
sleep 0.5
xdotool mousemove --window "$erase" 150 134 click 1   # its Erase button: the question
question=$(find_window '^Kestrane$')
sleep 1
shoot_window "$question" disc-erase-question
xdotool key Return                # No: the erase window stays, ready
sleep 1.5
unchanged
xdotool key Escape
echo "screenshots written to $out"
