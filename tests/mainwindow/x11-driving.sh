# Sourced by the scripts that drive the real program under Xvfb with xdotool (screenshots, the window
# ping bench). `click`, `shoot_main` and `shoot_window` act on the main window found into $win; set
# $out for the shots.

find_window() { # title [tries of 0.2 s]
    local w=
    for _ in $(seq "${2:-100}"); do
        w=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -n1 || true)
        [ -n "$w" ] && break
        sleep 0.2
    done
    [ -n "$w" ] || { echo "no window '$1'" >&2; exit 1; }
    echo "$w"
}

# The main window into $win, its place into $mainX and $mainY.
find_main_window() { # [tries of 0.2 s]
    win=$(find_window '^Varnholt Kestrane$' "${1:-100}")
    eval "$(xdotool getwindowgeometry --shell "$win")"
    mainX=$X mainY=$Y
}

click() { xdotool mousemove --window "$win" "$1" "$2" click 1; sleep "${3:-0.5}"; }
shoot_main() { import -window root -crop "718x463+${mainX}+${mainY}" +repage "$out/$1.png"; }
shoot_window() { # window id, name
    eval "$(xdotool getwindowgeometry --shell "$1")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$2.png"
}
# Types a path into the file dialog that has just opened and confirms it.
answer_file_dialog() {
    sleep 1
    xdotool key ctrl+a
    xdotool type --delay 5 "$1"
    xdotool key Return
}
