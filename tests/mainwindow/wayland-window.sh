#!/bin/bash
# The main window under Wayland: the real program is started with Qt's Wayland platform on weston (CPU
# renderer, a plain background, no panel) and weston's screenshooter takes the screen.
#   - Each corner of the window must show the background behind it, not black: the rounded shape.
#   - With --drag, weston runs nested in the X display (its X11 backend) so that xdotool can give it a
#     pointer: a drag on the skin must move the window by as much as the pointer moved. The X screen
#     must be larger than weston's (1024 x 768 times the scale).
# Without --drag weston's headless backend needs no display. Exits 77 (skipped) when weston, Qt's
# Wayland plugin (qt6-wayland) or, for --drag, an X display and xdotool are missing.
#   tests/mainwindow/wayland-window.sh BUILD [--drag] [--shot FILE.png] [--scale N]
# --shot keeps the screenshot; --scale is the output's scale (2: a HiDPI screen).
set -euo pipefail
usage="usage: wayland-window.sh BUILD [--drag] [--shot FILE.png] [--scale N]"
build=$(cd "${1:?$usage}" && pwd)
shift
drag='' keep='' scale=1
while [ $# -gt 0 ]; do
    case $1 in
    --drag) drag=1 ;;
    --shot) keep=${2:?$usage}; shift ;;
    --scale) scale=${2:?$usage}; shift ;;
    *) echo "$usage" >&2; exit 2 ;;
    esac
    shift
done
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
if [ -n "$drag" ]; then
    [ -n "${DISPLAY:-}" ] || skip "--drag needs an X display"
    command -v xdotool > /dev/null || skip "--drag needs xdotool"
fi
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
backend=headless-backend.so
[ -n "$drag" ] && backend=x11-backend.so
# --debug lets weston-screenshooter take the screen.
weston --config="$scratch/weston.ini" --backend=$backend --use-pixman --socket=$socket \
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

shot=$scratch/shot.png
# Takes the screen into $shot; false when weston gave no picture.
take_shot() {
    rm -f "$scratch"/shots/*.png
    (cd "$scratch/shots" && weston-screenshooter > /dev/null 2>&1) || return 1
    local file
    file=$(find "$scratch/shots" -name "*.png" | head -n1)
    [ -n "$file" ] && mv "$file" "$shot"
}
# The box around every pixel that is not the background, as WxH+X+Y.
window_box() {
    convert "$shot" -alpha off -fill white +opaque "#$background" -fill black -opaque "#$background" \
        -format %@ info: 2> /dev/null
}

# weston draws the pointer into its screenshots: it is kept outside weston's window until the drag,
# which leaves it on the window.
if [ -n "$drag" ]; then
    read -r screen_w screen_h < <(xdotool getdisplaygeometry)
    xdotool mousemove $((screen_w - 1)) $((screen_h - 1))
fi
# The window is on the screen once the area that is not background has the window's size.
box=
for _ in $(seq 60); do
    sleep 0.5
    take_shot || continue
    box=$(window_box)
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

[ -n "$drag" ] || exit 0
# weston's own X window; its screen's pixels are the X window's.
output=$(xdotool search --classname '^weston' 2> /dev/null | head -n1 || true)
[ -n "$output" ] || fail "no weston window on the X display"
# Press on the skin below the left panel (no control lies there), drag up and to the right, release.
dx=100 dy=-60
px=$((x + 80 * scale)) py=$((y + 440 * scale))
xdotool mousemove --window "$output" $px $py
sleep 0.3
xdotool mousedown 1
sleep 0.3
for step in $(seq 10); do
    xdotool mousemove --window "$output" $((px + dx * step / 10)) $((py + dy * step / 10))
    sleep 0.05
done
sleep 0.3
xdotool mouseup 1
# A busy machine may take a while to draw the window at its new place.
expected="${w}x${h}+$((x + dx))+$((y + dy))"
moved=
for _ in $(seq 40); do
    sleep 0.25
    take_shot || continue
    moved=$(window_box)
    [ "$moved" = "$expected" ] && break
done
[ -n "$keep" ] && cp "$shot" "${keep%.png}-dragged.png"
echo "after the drag: $moved"
[ "$moved" = "$expected" ] || fail "the drag by $dx,$dy left the window at $moved"
echo "the window moves with the pointer"
