#!/usr/bin/env bash
# Times Kestrane's image engine against genisoimage, xorriso, cp and cat on the same trees, in one run.
#   bench/compare.sh [BUILD_DIR]      (default: build)
# Trees are made under a temporary folder and removed at the end. Image writing: the best of five
# alternating runs of each program, to the disk and to a memory file system (/dev/shm); the rest:
# the best of two runs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
bench="$build/bench/kestrane-bench"
[ -x "$bench" ] || { echo "no $bench: build the kestrane-bench target first" >&2; exit 2; }
for tool in genisoimage xorriso /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/kestrane-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
# best_of COMMAND...: the shorter wall time of two runs, in seconds; the output file is removed each time
best_of() {
    local best="" start end t
    for _ in 1 2; do
        rm -f "$work/out.iso" "$work/out.bin"
        sync
        start=$(now)
        "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
        end=$(now)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN{print b - a}')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN{exit !(t < b)}'; then best=$t; fi
    done
    rm -f "$work/out.iso" "$work/out.bin"
    echo "$best"
}
# alternate "COMMAND A" "COMMAND B": A and B in turn, three rounds, then the best time of each.
# Copies of gigabytes swing with the disk's write-back; taking turns gives both the same weather.
alternate() {
    local a="" b="" t
    for _ in 1 2 3; do
        t=$(best_once $1)
        a=$(awk -v t="$t" -v m="$a" 'BEGIN{print (m == "" || t < m) ? t : m}')
        t=$(best_once $2)
        b=$(awk -v t="$t" -v m="$b" 'BEGIN{print (m == "" || t < m) ? t : m}')
    done
    echo "$a $b"
}
# best_once COMMAND...: the wall time of one run after the output files are gone and the disk is quiet.
best_once() {
    local start end
    rm -f "$work/out.iso" "$work/out.bin" "${out:-$work}/out.iso" "${out:-$work}/out.bin"
    sync
    start=$(now)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(now)
    rm -f "$work/out.iso" "$work/out.bin" "${out:-$work}/out.iso" "${out:-$work}/out.bin"
    awk -v a="$start" -v b="$end" 'BEGIN{print b - a}'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a / b}'; }

echo "== making the trees under $work"
"$bench" mktree "$work/small" 1000 100 1500
"$bench" mktree "$work/big" 1 5 209715200

# timed COMMAND...: one run after the outputs are gone and the disk is quiet: "wall user system" seconds.
timed() {
    local start end
    rm -rf "$dest/out.iso" "$dest/out.dir"
    sync
    start=$(now)
    /usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(now)
    rm -rf "$dest/out.iso" "$dest/out.dir"
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN{print b - a}') $(tail -1 "$work/cpu.txt")"
}
# contest TREE: every contender writes TREE into $dest in turn, five rounds; the best run of each
# (shortest wall time) goes to best[NAME] as "wall user system".
names=(kestrane kestrane_libisofs genisoimage xorriso cp)
declare -A best
contest() {
    local src="$work/$1" round name t
    best=()
    for round in 1 2 3 4 5; do
        for name in "${names[@]}"; do
            case $name in
                kestrane) t=$(timed "$bench" write "$src" "$dest/out.iso") ;;
                kestrane_libisofs) t=$(timed "$bench" write "$src" "$dest/out.iso" --through-library) ;;
                genisoimage) t=$(timed genisoimage -quiet -J -R -o "$dest/out.iso" "$src") ;;
                xorriso) t=$(timed xorriso -as mkisofs -quiet -J -R -o "$dest/out.iso" "$src") ;;
                cp) t=$(timed cp -r "$src" "$dest/out.dir") ;;
            esac
            if [ -z "${best[$name]:-}" ] || awk -v t="${t%% *}" -v b="${best[$name]%% *}" 'BEGIN{exit !(t < b)}'; then
                best[$name]=$t
            fi
        done
    done
}
wall() { echo "${best[$1]%% *}"; }
user() { echo "${best[$1]}" | awk '{print $2}'; }

mem_dest=""
if [ -d /dev/shm ] && [ "$(df --output=avail -B1 /dev/shm | tail -1)" -gt $((3 * 1024 * 1024 * 1024)) ]; then
    mem_dest="$(mktemp -d /dev/shm/kestrane-compare.XXXXXX)"
    trap 'rm -rf "$work" "$mem_dest"' EXIT
fi
echo "== writing images, best of 5 alternating runs (load before: $(cut -d' ' -f1-3 /proc/loadavg))"
for target in disk memory; do
    if [ "$target" = disk ]; then dest="$work"; else dest="$mem_dest"; fi
    [ -n "$dest" ] || { echo "write to memory: skipped, /dev/shm is missing or smaller than 3 GB"; continue; }
    for tree in big small; do
        src="$work/$tree"
        bytes=$(du -sb "$src" | cut -f1)
        find "$src" -type f -print0 | xargs -0 cat >/dev/null # warm the page cache alike for every contender
        contest "$tree"
        printf 'write %-5s tree (%.2f GB) to %-6s:' "$tree" "$(awk -v b="$bytes" 'BEGIN{print b / 1e9}')" "$target"
        for name in "${names[@]}"; do
            read -r w u sy <<<"${best[$name]}"
            printf ' %s %.2f s (user %.2f, sys %.2f) |' "$name" "$w" "$u" "$sy"
        done
        echo
        k=$(wall kestrane)
        if [ "$tree" = big ]; then
            printf '  big tree to %s: kestrane/genisoimage %s (goal 0.90) | kestrane/cp %s (goal 1.30) | kestrane/xorriso %s | kestrane user CPU %.3f s per GB (goal 0.100) | through libisofs alone %.2f s, user %.3f s per GB\n' \
                "$target" "$(ratio "$k" "$(wall genisoimage)")" "$(ratio "$k" "$(wall cp)")" \
                "$(ratio "$k" "$(wall xorriso)")" "$(awk -v u="$(user kestrane)" -v b="$bytes" 'BEGIN{print u / (b / 1e9)}')" \
                "$(wall kestrane_libisofs)" "$(awk -v u="$(user kestrane_libisofs)" -v b="$bytes" 'BEGIN{print u / (b / 1e9)}')"
        else
            printf '  small tree to %s: kestrane/genisoimage %s (goal 1.00) | kestrane/through libisofs alone %s (goal: not above 1.00) | kestrane/xorriso %s | kestrane/cp -r %s\n' \
                "$target" "$(ratio "$k" "$(wall genisoimage)")" "$(ratio "$k" "$(wall kestrane_libisofs)")" \
                "$(ratio "$k" "$(wall xorriso)")" "$(ratio "$k" "$(wall cp)")"
        fi
    done
done
echo "   (load after: $(cut -d' ' -f1-3 /proc/loadavg))"

echo "== size of the 100,000-file compilation"
"$bench" size "$work/small" | tee "$work/size.txt"
gs=$(best_of genisoimage -quiet -J -R -print-size "$work/small")
ks=$(awk '$1=="add_seconds"||$1=="size_seconds"{s+=$2} END{print s}' "$work/size.txt")
refresh=$(awk '$1=="refresh_after_remove_seconds"{printf "%.0f", $2*1000}' "$work/size.txt")
printf 'size small tree: kestrane add+size %.2f s | genisoimage -print-size %.2f s, ratio %s | refresh after removing one file %s ms (goal 100)\n' \
    "$ks" "$gs" "$(ratio "$ks" "$gs")" "$refresh"

echo "== disc to image (the small tree's genisoimage image bound to a drive letter)"
genisoimage -quiet -J -R -o "$work/disc.iso" "$work/small"
kr=$(best_of "$bench" read "$work/disc.iso" "$work/out.iso")
xr=$(best_of xorriso -indev "$work/disc.iso" -outdev "$work/out.iso" -volid COPY -commit)
printf 'read small disc: kestrane %.2f s | xorriso -indev/-outdev %.2f s, ratio %s\n' "$kr" "$xr" "$(ratio "$kr" "$xr")"
rm -f "$work/disc.iso"

echo "== resident memory of a 1,000,000-file compilation"
rm -rf "$work/small" "$work/big"
"$bench" mktree "$work/million" 1000 1000 0
"$bench" memory "$work/million" | tee "$work/memory.txt"
per=$(awk '$1=="bytes_per_file"{printf "%.0f", $2}' "$work/memory.txt")
gm=$( { /usr/bin/time -f '%M' genisoimage -quiet -J -R -print-size "$work/million" >/dev/null; } 2>&1 | tail -1)
printf 'memory per file: kestrane %s bytes (goal 600) | genisoimage -print-size peak %s bytes per file\n' \
    "$per" "$(awk -v m="$gm" 'BEGIN{printf "%.0f", m * 1024 / 1000000}')"

echo "== virtual drive: burning a 2 GB image, and disc to image from a drive holding it"
rm -rf "$work/million"
mkdir -p "$work/drivetree"
head -c 1073741824 /dev/urandom >"$work/drivetree/part1.bin"
head -c 1000000000 /dev/urandom >"$work/drivetree/part2.bin"
genisoimage -quiet -R -J -o "$work/drive.iso" "$work/drivetree"
rm -rf "$work/drivetree"
cat "$work/drive.iso" >/dev/null # warm the page cache alike for every contender
# The copies go to memory when it can take them (/dev/shm): on a disk their times swing by several
# times with its write-back, and what is compared here is the programs, not the disk.
out="$work"
if [ -n "$mem_dest" ] && [ "$(df --output=avail -B1 /dev/shm | tail -1)" -gt $((5 * 1024 * 1024 * 1024)) ]; then
    out="$mem_dest"
fi
read -r kb cb < <(alternate "$bench burn $work/drive.iso $out/out.bin" "cp $work/drive.iso $out/out.bin")
printf 'burn 2 GB image to a virtual drive: kestrane %.2f s | cp %.2f s, ratio %s (goal 1.25)\n' \
    "$kb" "$cb" "$(ratio "$kb" "$cb")"
# The image itself is the virtual drive's file: the drive holds a disc with that file system.
read -r kd dd < <(alternate "$bench readdrive $work/drive.iso $out/out.iso" \
    "dd if=$work/drive.iso of=$out/out.bin bs=1M")
printf 'disc to image from a virtual drive (2 GB): kestrane %.2f s | dd bs=1M %.2f s, ratio %s (goal 1.30)\n' \
    "$kd" "$dd" "$(ratio "$kd" "$dd")"
rm -f "$work/drive.iso"
