#!/bin/bash
# Runs inside the guest from the data disk: every row of cases.txt whose scenario is this boot's, each
# under its own time limit, and writes the exit status, the time and the output of each to out/.
# `host WORDS` asks the host (through the second serial port) to change or pull the disc.
set -u
cd /data
read -r scenario < scenario
export HOME=/tmp LANG=C.UTF-8 KESTRANE_NO_STICKS=1 PATH=/usr/sbin:/usr/bin:/sbin:/bin
export DISCS=/data/discs WORK=/data/work
cli() { /data/Kestrane/kestrane-cli "$@"; }
export -f cli
mkdir -p out "$WORK"
: > out/results.tsv

stty -F /dev/ttyS1 raw -echo 2>/dev/null
exec 3<>/dev/ttyS1
host() {
    printf '%s\n' "$*" >&3
    local reply
    read -r -t 30 reply <&3 || { echo "host did not answer: $*" >&2; return 1; }
    reply=${reply%$'\r'}
    [ "$reply" = ok ] || { echo "host: $reply" >&2; return 1; }
}
export -f host

# The disc pulled out from the host while copy-disc reads it: the copy must end by itself, soon, with a
# reason and without leaving a file. Prints how long it took to end after the pull.
pull_mid_copy() {
    local target=$1
    cli copy-disc D "$target" --quiet &
    local pid=$!
    # Pulled once the copy has read a good part of the disc, so that it is mid-copy.
    for _ in $(seq 1 600); do
        local done
        done=$(awk '/^read_bytes/ {print $2}' "/proc/$pid/io" 2>/dev/null || echo 0)
        [ "${done:-0}" -gt 30000000 ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null || { echo "copy-disc ended before the pull"; wait "$pid"; return 2; }
    host eject || return 2
    local pulled status
    pulled=$(date +%s%N)
    wait "$pid"
    status=$?
    echo "copy-disc ended $(( ($(date +%s%N) - pulled) / 1000000 )) ms after the pull, status $status"
    ls -A "$(dirname "$target")"
    return "$status"
}
export -f pull_mid_copy

while IFS='|' read -r scenarios id limit expect pattern command; do
    case "$scenarios" in '#'* | '') continue ;; esac
    scenarios=$(echo $scenarios)
    case ",$scenarios," in *",$scenario,"* | *",all,"*) ;; *) continue ;; esac
    id=$(echo $id)
    echo "kestrane-guest: $id"
    start=$(date +%s%N)
    (cd "$WORK" && timeout -s KILL "$limit" bash -c "$command") > "out/$id.log" 2>&1 < /dev/null
    status=$?
    printf '%s\t%s\t%s\n' "$id" "$status" "$(( ($(date +%s%N) - start) / 1000000 ))" >> out/results.tsv
done < cases.txt
echo "kestrane-guest: done"
