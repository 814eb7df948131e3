#!/bin/bash
# Runs inside the guest from the data disk: every row of cases.txt for this boot's drive (ide or scsi), each
# under its own time limit, and writes the exit status, the time and the output of each to out/.
# `host WORDS` asks the host (through the second serial port) to change or pull the disc.
set -u
cd /data || exit 1
read -r bus < /data/bus
export HOME=/tmp LANG=C.UTF-8 KESTRANE_NO_STICKS=1 PATH=/usr/sbin:/usr/bin:/sbin:/bin
export DISCS=/data/discs WORK=/data/work
cli() { /data/Kestrane/kestrane-cli "$@"; }
export -f cli
mkdir -p out "$WORK"
: > out/results.tsv
cut -d' ' -f1 /proc/uptime > out/booted

stty -F /dev/ttyS1 raw -echo 2>/dev/null
exec 3<>/dev/ttyS1
host() {
    printf '%s\n' "$*" >&3
    local reply
    read -r -t 30 reply <&3 || { echo "host did not answer: $*" >&2; return 1; }
    reply=${reply%$'\r'}
    case "$reply" in
        ok) ;;
        "ok "*) echo "${reply#ok }" ;;
        *) echo "host: $reply" >&2; return 1 ;;
    esac
}
export -f host

# The disc pulled out from the host while copy-disc reads it: the copy must end by itself, soon, with a
# reason and without leaving a file. Prints how long it took to end after the pull.
pull_mid_copy() {
    local target=$1
    /data/Kestrane/kestrane-cli copy-disc D "$target" --quiet &
    local pid=$! # the program's own, which /proc tells how much it has read
    local read
    # Pulled once the copy has read 30 MB of the disc, so that it is mid-copy.
    for _ in $(seq 1 600); do
        read=$(awk '/^rchar/ {print $2}' "/proc/$pid/io" 2>/dev/null || echo 0)
        [ "${read:-0}" -gt 30000000 ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null || { echo "copy-disc ended before the pull"; wait "$pid"; return 2; }
    host eject || return 2
    local pulled status took
    pulled=$(date +%s%N)
    wait "$pid"
    status=$?
    took=$(( ($(date +%s%N) - pulled) / 1000000 ))
    echo "copy-disc ended $took ms after the pull, status $status"
    ls -A "$(dirname "$target")"
    [ "$took" -le 10000 ] || { echo "more than 10 s after the pull"; return 9; }
    return "$status"
}
export -f pull_mid_copy

trim() { # the text without the blanks around it
    local text=${1#"${1%%[![:space:]]*}"}
    printf '%s' "${text%"${text##*[![:space:]]}"}"
}

while IFS='|' read -r buses id limit _ _ command; do
    case "$buses" in '#'* | '') continue ;; esac
    case ",$(trim "$buses")," in *",$bus,"*) ;; *) continue ;; esac
    id=$(trim "$id") limit=$(trim "$limit")
    echo "kestrane-guest: $id"
    start=$(date +%s%N)
    (cd "$WORK" && timeout -s KILL "$limit" bash -c "$command") > "out/$id.log" 2>&1 < /dev/null
    status=$?
    printf '%s\t%s\t%s\n' "$id" "$status" "$(( ($(date +%s%N) - start) / 1000000 ))" >> out/results.tsv
done < cases.txt
echo "kestrane-guest: done"
