#!/bin/bash
# Takes the main window's screenshots for docs/ and the help file: each page with one button under the
# pointer, the area outside the window's shape made transparent. Needs xdotool and imagemagick.
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/mainwindow/take-screenshots.sh build docs
set -euo pipefail
build=${1:-build}
out=${2:-docs}
program=$build/Kestrane
scratch=$(mktemp -d)
export HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data
"$program/kestrane" -nosplash &
pid=$!
trap 'kill $pid 2>/dev/null || true; rm -rf "$scratch"' EXIT

win=
for _ in $(seq 100); do
    win=$(xdotool search --onlyvisible --name '^Varnholt Kestrane$' 2>/dev/null | head -n1 || true)
    [ -n "$win" ] && break
    sleep 0.2
done
[ -n "$win" ] || { echo "the main window did not appear" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$win")"

# The window's shape: every non-black pixel of the skin except the last column.
convert "$program/Image/Skin.png" -fill white +opaque black -fill black -draw "line 717,0 717,462" \
    "$scratch/shape.png"

shoot() { # page button x y, hovered x y, name
    xdotool mousemove --window "$win" "$1" "$2" click 1
    sleep 0.5
    xdotool mousemove --window "$win" 300 20
    sleep 0.3
    xdotool mousemove --window "$win" "$3" "$4"
    sleep 0.8
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$scratch/shot.png"
    convert "$scratch/shot.png" "$scratch/shape.png" -alpha off -compose CopyOpacity -composite \
        "$out/mainwindow-$5.png"
}

mkdir -p "$out"
shoot 83 143 646 347 cdtoiso    # CD page, pointer on Make ISO
shoot 83 204 237 347 filetoiso  # FILETOISO page, pointer on Add File
shoot 83 265 564 347 burniso    # burn page, pointer on Burn ISO
echo "screenshots written to $out"
