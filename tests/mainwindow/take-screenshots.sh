#!/bin/bash
# Takes the main window's screenshots for docs/ and the help file: each page with one button under the
# pointer, the area outside the window's shape made transparent. Needs xdotool and imagemagick.
#   xvfb-run -a -s "-screen 0 1024x768x24" tests/mainwindow/take-screenshots.sh build docs
# A third argument scales the window (QT_SCALE_FACTOR, a whole number or one with a fraction: 1.5);
# the files are then named mainwindow-PAGE@SCALEx.png. The screen must hold the scaled window.
set -euo pipefail
build=${1:-build}
out=${2:-docs}
scale=${3:-1}
suffix=
if [ "$scale" != 1 ]; then
    export QT_SCALE_FACTOR=$scale
    suffix=@${scale}x
fi
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

# The window's shape: every non-black pixel of the skin except the last column, at the window's size.
convert "$program/Image/Skin.png" -fill white +opaque black -fill black -draw "line 717,0 717,462" \
    -filter point -resize "${WIDTH}x${HEIGHT}!" "$scratch/shape.png"

# Moves the pointer to the window's point x y, in the screen's pixels.
point() { # x y [xdotool arguments]
    local x y
    read -r x y < <(awk -v s="$scale" -v x="$1" -v y="$2" 'BEGIN { printf "%d %d\n", x * s, y * s }')
    shift 2
    xdotool mousemove --window "$win" "$x" "$y" "$@"
}

shoot() { # page button x y, hovered x y, name
    point "$1" "$2" click 1
    sleep 0.5
    point 300 20
    sleep 0.3
    point "$3" "$4"
    sleep 0.8
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$scratch/shot.png"
    convert "$scratch/shot.png" "$scratch/shape.png" -alpha off -compose CopyOpacity -composite \
        "$out/mainwindow-$5$suffix.png"
}

mkdir -p "$out"
shoot 83 143 646 347 cdtoiso    # CD page, pointer on Make ISO
shoot 83 204 237 347 filetoiso  # FILETOISO page, pointer on Add File
shoot 83 265 564 347 burniso    # burn page, pointer on Burn ISO
echo "screenshots written to $out"
