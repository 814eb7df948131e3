#!/bin/bash
# Takes the screenshots of the jobs for docs/: a compilation loaded from a list file, the progress
# window while the image is written, the burn page while that image burns to a virtual drive, the
# erase window and the About window. Needs xdotool and imagemagick.
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/mainwindow/take-job-screenshots.sh build docs
set -euo pipefail
build=${1:-build}
out=$(realpath "${2:-docs}")
program=$build/Kestrane
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
export KESTRANE_VIRTUAL_DRIVES=$scratch/recorder.iso=4700M

# A compilation: a few documents and photos, and a big (sparse) video so that the jobs take a while.
src=$scratch/Holiday
mkdir -p "$src/Documents" "$src/Photos/Beach" "$src/Videos"
for n in 1 2 3; do head -c $((n * 150000)) /dev/urandom >"$src/Photos/Beach/IMG_00$n.jpg"; done
echo "Packing list" >"$src/Documents/packing.txt"
head -c 48000 /dev/urandom >"$src/Documents/tickets.pdf"
truncate -s 2500M "$src/Videos/holiday.mp4"
list=$scratch/holiday.mst
{
    printf 'filelist\r\n'
    (cd "$src" && find . -type f | sort) | while read -r f; do
        folder=$(dirname "${f#./}")
        printf '%s|\\Holiday\\%s\\\r\n' "$src/${f#./}" "${folder//\//\\}"
    done
} >"$list"

"$program/kestrane" -nosplash &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$scratch"' EXIT

source "$(dirname "$0")/x11-driving.sh"
find_main_window

click 83 204                      # FILETOISO page
click 551 347 0.2                 # Load List: the open dialog
answer_file_dialog "$list"
sleep 1
# Open the Holiday folder of the tree and click Documents, so that the file list shows its files.
xdotool mousemove --window "$win" 230 122 click --repeat 2 1
sleep 0.5
click 240 140
xdotool mousemove --window "$win" 300 20
sleep 0.5
shoot_main mainwindow-compilation

click 631 347 0.2                 # Make ISO: the save dialog
answer_file_dialog "$scratch/holiday.iso"
progress=$(find_window '^Converting......$')
sleep 1.5
shoot_window "$progress" progress-window

# "ISO File Created successfully!", then "Do you want to burn the ISO file now?": Yes (Return says No).
for _ in $(seq 100); do [ -s "$scratch/holiday.iso" ] && ! xdotool search --onlyvisible --name '^Converting' >/dev/null 2>&1 && break; sleep 0.3; done
sleep 1
xdotool key Return
sleep 1
xdotool key alt+y
sleep 2
shoot_main mainwindow-burning
# Wait for "Writing is complete!".
for _ in $(seq 200); do
    [ "$(stat -c %s "$scratch/recorder.iso" 2>/dev/null || echo 0)" -ge "$(stat -c %s "$scratch/holiday.iso")" ] && break
    sleep 0.3
done
sleep 2
xdotool key Return
sleep 1

click 482 347 0.2                 # Erase: the erase window
erase=$(find_window '^frmErase$')
sleep 0.5
shoot_window "$erase" erase-window
xdotool key Escape
sleep 0.5

click 83 326 0.2                  # About
about=$(find_window 'About')
sleep 0.5
shoot_window "$about" about-window
echo "screenshots written to $out"
