#!/usr/bin/env bash
# Times Kestrane's image engine against genisoimage, xorriso and cat on the same trees, in one run.
#   bench/compare.sh [BUILD_DIR]      (default: build)
# Trees are made under a temporary folder and removed at the end. Each figure is the best of two runs.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
bench="$build/bench/kestrane-bench"
[ -x "$bench" ] || { echo "no $bench: build the kestrane-bench target first" >&2; exit 2; }
for tool in genisoimage xorriso; do
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
cat_all() { find "$1" -type f -print0 | xargs -0 cat > "$work/out.bin"; }

echo "== making the trees under $work"
"$bench" mktree "$work/small" 1000 100 1500
"$bench" mktree "$work/big" 1 10 209715200

for tree in big small; do
    src="$work/$tree"
    bytes=$(du -sb "$src" | cut -f1)
    cat_all "$src" && rm -f "$work/out.bin" # warm the page cache alike for every contender
    k=$(best_of "$bench" write "$src" "$work/out.iso")
    g=$(best_of genisoimage -quiet -J -R -o "$work/out.iso" "$src")
    x=$(best_of xorriso -as mkisofs -quiet -J -R -o "$work/out.iso" "$src")
    c=$(best_of cat_all "$src")
    mbs=$(awk -v b="$bytes" -v t="$k" 'BEGIN{printf "%.0f", b / 1000000 / t}')
    printf 'write %-5s tree: kestrane %.2f s (%s MB/s) | genisoimage %.2f s, ratio %s (goal %s) | xorriso %.2f s, ratio %s (goal 1.00) | cat %.2f s, ratio %s\n' \
        "$tree" "$k" "$mbs" "$g" "$(ratio "$k" "$g")" "$([ "$tree" = big ] && echo 1.20 || echo 1.00)" \
        "$x" "$(ratio "$k" "$x")" "$c" "$(ratio "$k" "$c")"
done

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
if [ -d /dev/shm ] && [ "$(df --output=avail -B1 /dev/shm | tail -1)" -gt $((5 * 1024 * 1024 * 1024)) ]; then
    out="$(mktemp -d /dev/shm/kestrane-compare.XXXXXX)"
    trap 'rm -rf "$work" "$out"' EXIT
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
