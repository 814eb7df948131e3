#!/usr/bin/env bash
# Proves the README's two set-up commands on a clean Debian 12: makes a fresh root with mmdebstrap
# from this machine's Debian sources, clones this repository's committed HEAD into it and runs there
#   1. the start command under xvfb-run (installs, builds, starts Kestrane; it must show its window
#      and keep running, then it is closed), and
#   2. the test command (installs what is missing, builds, runs every test).
# Needs root (chroot and mounts). Usage: tools/fresh-check.sh [ROOT_FOLDER]; the folder is removed
# afterwards unless KESTRANE_KEEP_ROOT=1. The root's screenshot of the started program is copied
# to fresh-check-shot.png in the current folder, and the test command's log to fresh-check-tests.log.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
root="${1:-$(mktemp -d /var/tmp/kestrane-fresh.XXXXXX)}"
start=$(date +%s)
stamp() { echo "== $(( $(date +%s) - start )) s: $*"; }

[ "$(id -u)" -eq 0 ] || { echo "fresh-check needs root (chroot and mounts)" >&2; exit 2; }
command -v mmdebstrap >/dev/null || apt-get install -y --no-install-recommends mmdebstrap

mounted=()
cleanup() {
    for (( i=${#mounted[@]}-1; i>=0; i-- )); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
    if [ "${KESTRANE_KEEP_ROOT:-0}" != 1 ]; then rm -rf "$root"; fi
}
trap cleanup EXIT

# The machine's own sources, so that the root gets the same packages the machine can reach.
sources=/etc/apt/sources.list.d/debian.sources
[ -f "$sources" ] || sources=/etc/apt/sources.list
stamp "making a clean Debian 12 root in $root"
rm -rf "$root"
# xvfb and xauth stand in for the user's desktop, which a real machine has and a bare root lacks;
# everything else must come from the README's commands.
mmdebstrap --variant=apt --include=xvfb,xauth,procps bookworm "$root" "$sources"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
for m in sys dev dev/pts; do
    case $m in
        sys) mount -t sysfs sys "$root/sys" ;;
        dev) mount --bind /dev "$root/dev" ;;
        dev/pts) mount --bind /dev/pts "$root/dev/pts" ;;
    esac
    mounted+=("$root/$m")
done
# Each command runs in a process namespace of its own with its own /proc: it sees and stops only
# its own processes, and whatever it leaves running ends with it.
in_root() {
    unshare --pid --fork --mount-proc="$root/proc" chroot "$root" \
        /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 bash -c "$1"
}

stamp "cloning the repository's HEAD"
git clone --quiet "$here" "$root/root/kestrane"

stamp "command 1: bash tools/run-kestrane.sh (under xvfb-run)"
in_root '
    set -u
    cd /root/kestrane
    xvfb-run -n 77 -s "-screen 0 1024x768x24 -ac" bash tools/run-kestrane.sh -nosplash > /root/start.log 2>&1 &
    runner=$!
    # The build comes first; then the program must start and keep running.
    for _ in $(seq 1 3600); do
        pgrep -x kestrane > /dev/null && break
        kill -0 $runner 2> /dev/null || { tail -30 /root/start.log; echo "the start command ended before the program ran"; exit 1; }
        sleep 1
    done
    pgrep -x kestrane > /dev/null || { echo "the program never started"; exit 1; }
    sleep 10
    pgrep -x kestrane > /dev/null || { tail -30 /root/start.log; echo "the program did not keep running"; exit 1; }
    DISPLAY=:77 import -window root /root/fresh-check-shot.png 2> /dev/null || true
    pkill -x kestrane
    wait $runner 2> /dev/null
    tail -5 /root/start.log
    echo "the program started and ran for 10 s"
'
cp "$root/root/fresh-check-shot.png" ./fresh-check-shot.png 2>/dev/null || true

stamp "command 2: bash tools/run-tests.sh"
status=0
in_root 'cd /root/kestrane && bash tools/run-tests.sh > /root/tests.log 2>&1' || status=$?
tail -40 "$root/root/tests.log"
# What a failing test printed, which the summary above leaves out; the whole log is kept beside the shot.
awk '/\*\*\*(Failed|Timeout|Exception)/ {show = 1} /^ *Start +[0-9]+:/ {show = 0} show' "$root/root/tests.log" | head -300
cp "$root/root/tests.log" ./fresh-check-tests.log 2>/dev/null || true
stamp "done: test command exit status $status"
exit "$status"
