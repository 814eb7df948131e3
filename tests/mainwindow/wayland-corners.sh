#!/bin/bash
# The main window under Wayland keeps its rounded shape: on weston's headless backend (CPU renderer,
# a plain background, no panel) the real program is started with Qt's Wayland platform, weston's
# screenshooter takes the screen, and each corner of the window must show the background behind it,
# not black. Exits 77 (skipped) when weston or Qt's Wayland plugin (qt6-wayland) is not installed.
#   tests/mainwindow/wayland-corners.sh BUILD [SHOT.png [SCALE]]
# SHOT keeps the screenshot; SCALE is the output's scale (2: a HiDPI screen).
set -euo pipefail
build=$(cd "${1:?usage: wayland-corners.sh BUILD [SHOT.png [SCALE]]}" && pwd)
keep=${2:-}
scale=${3:-1}
program=$build/Kestrane/kestrane
background=3A6F4F

skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v weston > /dev/null || skip "weston is not installed"
command -v weston-screenshooter > /dev/null || skip "weston-screenshooter is not installed"
command -v convert > /dev/null || skip "imagemagick is not installed"
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2> /dev/null || true)
compgen -G "${plugins:-/nonexistent}/platforms/libqwayland-*.so" > /dev/null \
    || compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-*.so" > /dev/null \
    || skip "Qt's Wayland platform plugin (qt6-wayland) is not installed"
[ -x "$program" ] || fail "no program at $program"

scratch=$(mktemp -d)
chmod 700 "$scratch"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2> /dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

export XDG_RUNTIME_DIR=$scratch/runtime HOME=$scratch/home
export XDG_CONFIG_HOME=$scratch/home/config XDG_DATA_HOME=$scratch/home/data
mkdir -p "$XDG_RUNTIME_DIR" "$HOME" "$scratch/shots" && chmod 700 "$XDG_RUNTIME_DIR"
cat > "$scratch/weston.ini" << INI
[core]
idle-time=0
[shell]
background-color=0xff$background
panel-position=none
locking=false
INI
socket=kestrane-test
# --debug lets weston-screenshooter take the screen.
weston --config="$scratch/weston.ini" --backend=headless-backend.so --use-pixman --socket=$socket \
    --width=1024 --height=768 --scale="$scale" --debug > "$scratch/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    [ -S "$XDG_RUNTIME_DIR/$socket" ] && break
    sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$socket" ] || { cat "$scratch/weston.log" >&2; fail "weston did not start"; }
export WAYLAND_DISPLAY=$socket

QT_QPA_PLATFORM=wayland "$program" -nosplash > "$scratch/kestrane.log" 2>&1 &
pids+=($!)

# The window is on the screen once the area that is not background has the window's size.
shot=$scratch/shot.png
box=
for _ in $(seq 60); do
    sleep 0.5
    rm -f "$scratch"/shots/*.png
    (cd "$scratch/shots" && weston-screenshooter > /dev/null 2>&1) || continue
    file=$(find "$scratch/shots" -name "*.png" | head -n1)
    [ -n "$file" ] || continue
    mv "$file" "$shot"
    # Every pixel that is not the background white, the background black; the box around the white.
    box=$(convert "$shot" -alpha off -fill white +opaque "#$background" -fill black -opaque "#$background" \
        -format %@ info: 2> /dev/null)
    width=${box%%x*}
    [ "$width" -ge $((700 * scale)) ] 2> /dev/null && break
    box=
done
[ -n "$keep" ] && [ -f "$shot" ] && cp "$shot" "$keep"
[ -n "$box" ] || { cat "$scratch/kestrane.log" >&2; fail "the main window did not appear"; }
IFS='x+' read -r w h x y <<< "$box"
echo "window at ${w}x${h}+${x}+${y}"
if [ "$h" -lt $((460 * scale)) ] || [ "$h" -gt $((463 * scale)) ]; then
    fail "the window is ${w}x${h}, not the skin's size"
fi

pixel() { convert "$shot" -format "%[hex:u.p{$1,$2}]" info: | cut -c1-6; }
for corner in "$x $y" "$((x + w - 1)) $y" "$x $((y + h - 1))" "$((x + w - 1)) $((y + h - 1))"; do
    read -r cx cy <<< "$corner"
    colour=$(pixel "$cx" "$cy")
    [ "$colour" = "$background" ] || fail "the window's corner at $cx,$cy is #$colour, not the desktop behind it"
done
# The body of the window is there, a few points in from the corner.
colour=$(pixel $((x + 30 * scale)) $((y + 30 * scale)))
[ "$colour" != "$background" ] || fail "no window at $((x + 30 * scale)),$((y + 30 * scale))"
echo "the corners show the desktop"
