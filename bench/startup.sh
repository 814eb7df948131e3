#!/bin/bash
# Time from launch to a mapped main window, for Kestrane (-nosplash; the start-up pause and the first
# page come after the window is on screen) and, beside it, xfburn, a GTK disc burner, started the same
# way: RUNS starts of each (default 10), taking turns so that both see the same load. The first start of
# each runs with HOME and XDG folders that are new (a first run: no settings, nothing registered), the
# later ones reuse them. Prints each run, the first run and the median of the later runs. xfburn's first
# window on a machine without a burner is its notice that none is available, shown after its drive scan;
# that is what is timed for it. Without xfburn (apt-get install xfburn) only Kestrane is timed. Both run on
# a session bus of their own (dbus-run-session) unless one is there already.
# Needs python3-xlib; run it under Xvfb:
#   xvfb-run -a -s "-screen 0 1024x768x24" bench/startup.sh [BUILD] [RUNS]
set -euo pipefail
# A desktop always has a session bus; without one, both toolkits' accessibility bridges would start
# dbus-launch at every start, which is no desktop's start-up.
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] && command -v dbus-run-session >/dev/null; then
    exec dbus-run-session -- "$0" "$@"
fi
build=${1:-build}
runs=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
program=$(cd "$build" && pwd)/Kestrane/kestrane
[ -x "$program" ] || { echo "no $program: build the kestrane target first" >&2; exit 2; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

peer=$(command -v xfburn || true)
[ -n "$peer" ] || echo "xfburn is not installed: timing Kestrane alone (apt-get install xfburn)"

# time_one NAME TITLE COMMAND...: one start with NAME's own home, its time appended to $scratch/NAME.
time_one() {
    local name=$1 title=$2 home=$scratch/home-$1 t
    shift 2
    mkdir -p "$home"
    t=$(env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
        XDG_CACHE_HOME="$home/cache" XDG_STATE_HOME="$home/state" \
        /usr/bin/python3 "$here/time-to-window.py" "$title" 30 "$@") || t=none
    echo "$t" >>"$scratch/$name"
    printf '%-9s %s\n' "$name" "$t"
}

for run in $(seq "$runs"); do
    echo "run $run"
    time_one kestrane '^Varnholt Kestrane$' "$program" -nosplash
    [ -n "$peer" ] && time_one xfburn '' "$peer"
done

summary() { # NAME
    [ -s "$scratch/$1" ] || return 0
    local first later
    first=$(head -n1 "$scratch/$1")
    later=$(tail -n +2 "$scratch/$1" | grep -v none | sort -n |
        awk '{v[NR] = $1} END { if (NR == 0) print "none";
             else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
    printf '%-9s first run %s s, median of the later runs %s s\n' "$1" "$first" "$later"
}
echo "time to a mapped main window:"
summary kestrane
summary xfburn
