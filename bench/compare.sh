#!/usr/bin/env bash
# Speed of kestrane-bench against named peers, measured in the same run on the same files.
# usage: bench/compare.sh [BUILD_DIR] [WORK_DIR]   (WORK_DIR needs about 8 GB free; removed at the end
# unless given)
set -euo pipefail

BUILD=${1:-build}
BENCH=$BUILD/bench/kestrane-bench
[ -x "$BENCH" ] || { echo "no $BENCH: build the kestrane-bench target first" >&2; exit 2; }
if [ -n "${2:-}" ]; then
    WORK=$2
    mkdir -p "$WORK"
else
    WORK=$(mktemp -d)
    trap 'rm -rf "$WORK"' EXIT
fi
ROUNDS=${ROUNDS:-3}

# Seconds taken by a command, its output dropped.
seconds() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    echo "scale=3; ($end - $start) / 1000000000" | bc
}

min() { printf '%s\n' "$@" | sort -g | head -1; }
ratio() { echo "scale=2; $1 / $2" | bc; }

# Burning to a virtual drive against cp, and disc to image from a virtual drive against dd.
drive_figures() {
    local tree=$WORK/drive-tree iso=$WORK/drive-2g.iso drive=$WORK/virtual-drive.img
    mkdir -p "$tree"
    head -c 1073741824 /dev/urandom >"$tree/part1.bin"
    head -c 1000000000 /dev/urandom >"$tree/part2.bin"
    genisoimage -quiet -R -J -o "$iso" "$tree"
    rm -rf "$tree"
    local bytes
    bytes=$(stat -c %s "$iso")
    echo "== drive: a $((bytes / 1000000)) MB image, best of $ROUNDS rounds"

    local burn=() copy=() copysync=() r
    for ((r = 0; r < ROUNDS; r++)); do
        rm -f "$drive" "$WORK/copy.img"
        sync
        burn+=("$(seconds "$BENCH" burn "$iso" "$drive")")
        cmp -s "$iso" "$drive" || { echo "burn: the drive file differs from the image" >&2; exit 1; }
        sync
        copy+=("$(seconds cp "$iso" "$WORK/copy.img")")
        rm -f "$WORK/copy.img"
        sync
        # The burn syncs the drive file at its end, as a burnt disc is durable: the same for cp.
        copysync+=("$(seconds sh -c "cp '$iso' '$WORK/copy.img' && sync '$WORK/copy.img'")")
    done
    rm -f "$WORK/copy.img"
    local b c cs
    b=$(min "${burn[@]}")
    c=$(min "${copy[@]}")
    cs=$(min "${copysync[@]}")
    echo "burn to virtual drive  ${b} s   cp ${c} s   ratio $(ratio "$b" "$c") (goal <= 1.25)"
    echo "                                 cp+sync ${cs} s   ratio $(ratio "$b" "$cs")"

    local read=() dd=()
    for ((r = 0; r < ROUNDS; r++)); do
        rm -f "$WORK/read.iso" "$WORK/dd.iso"
        sync
        read+=("$(seconds "$BENCH" readdrive "$drive" "$WORK/read.iso")")
        [ -s "$WORK/read.iso" ] || { echo "readdrive wrote no image" >&2; exit 1; }
        rm -f "$WORK/read.iso"
        sync
        dd+=("$(seconds dd if="$drive" of="$WORK/dd.iso" bs=1M)")
    done
    rm -f "$WORK/read.iso" "$WORK/dd.iso" "$drive" "$iso"
    local rd d
    rd=$(min "${read[@]}")
    d=$(min "${dd[@]}")
    echo "disc to image          ${rd} s   dd bs=1M ${d} s   ratio $(ratio "$rd" "$d") (goal <= 1.3)"
}

drive_figures
