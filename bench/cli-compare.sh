#!/usr/bin/env bash
# What recording checksums costs: kestrane-cli make-iso with and without --checksums on the bench
# trees, against genisoimage and against xorriso with its MD5 recording off and on (-md5 on), in one run.
# Then a raw disc copy: copy-disc --raw of a 1 GB virtual disc against dd of the same file (flushed to
# the disk at the end, as the copy is).
#   bench/cli-compare.sh [BUILD_DIR] [all|raw]      (default: build, all)
# Each contender writes each tree in turn, three rounds; the best wall time of each counts, with its
# user and system CPU. Goal: our checksums cost less than xorriso's (extra time of --checksums below
# the extra time of -md5 on); the raw copy within 1.5 times dd's time.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
part="${2:-all}"
cli="$build/Kestrane/kestrane-cli"
bench="$build/bench/kestrane-bench"
for program in "$cli" "$bench"; do
    [ -x "$program" ] || { echo "no $program: build kestrane-cli and kestrane-bench first" >&2; exit 2; }
done
for tool in genisoimage xorriso /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing" >&2; exit 2; }
done
work="$(mktemp -d "${TMPDIR:-/tmp}/kestrane-cli-compare.XXXXXX")"
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN{printf "%.2f", a / b}'; }

# raw_copy: the 1 GB tree as a disc in a virtual drive, copied block for block by both.
raw_copy() {
    local disc="$work/disc.img" w u s
    "$cli" make-iso "$disc" "$work/big" --quiet >/dev/null
    declare -A fastest=()
    for _ in 1 2 3; do
        for name in kestrane_raw dd; do
            case $name in
                kestrane_raw) t=$(KESTRANE_VIRTUAL_DRIVES="$disc=2G" KESTRANE_NO_STICKS=1 \
                    timed "$cli" copy-disc D: "$out" --raw --quiet) ;;
                dd) t=$(timed dd if="$disc" of="$out" bs=1M conv=fsync status=none) ;;
            esac
            if [ -z "${fastest[$name]:-}" ] || awk -v t="${t%% *}" -v b="${fastest[$name]%% *}" 'BEGIN{exit !(t < b)}'; then
                fastest[$name]=$t
            fi
        done
    done
    printf 'raw copy of a %s-byte virtual disc, best of three, wall / user / system seconds:\n' "$(stat -c %s "$disc")"
    for name in kestrane_raw dd; do
        read -r w u s <<<"${fastest[$name]}"
        printf '  %-20s %7.2f %7.2f %7.2f\n' "$name" "$w" "$u" "$s"
    done
    printf '  copy-disc --raw / dd %s (goal: below 1.50)\n' "$(ratio "${fastest[kestrane_raw]%% *}" "${fastest[dd]%% *}")"
}

echo "== making the trees under $work"
[ "$part" = raw ] || "$bench" mktree "$work/small" 1000 100 1500
"$bench" mktree "$work/big" 1 5 209715200

out="$work/out.iso"
# timed COMMAND...: "wall user system" seconds of one run, after the last output is gone and the disk is quiet.
timed() {
    local start end
    rm -f "$out"
    sync
    start=$(now)
    /usr/bin/time -f '%U %S' -o "$work/cpu.txt" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(now)
    rm -f "$out"
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN{print b - a}') $(tail -1 "$work/cpu.txt")"
}
names=(kestrane kestrane_checksums genisoimage xorriso xorriso_md5)
declare -A best
if [ "$part" = raw ]; then
    raw_copy
    exit 0
fi
for tree in big small; do
    src="$work/$tree"
    best=()
    for _ in 1 2 3; do
        for name in "${names[@]}"; do
            case $name in
                kestrane) t=$(timed "$cli" make-iso "$out" "$src" --quiet) ;;
                kestrane_checksums) t=$(timed "$cli" make-iso "$out" "$src" --checksums --quiet) ;;
                genisoimage) t=$(timed genisoimage -quiet -J -R -o "$out" -graft-points "/$tree=$src") ;;
                xorriso) t=$(timed xorriso -md5 off -joliet on -outdev "stdio:$out" -map "$src" "/$tree") ;;
                xorriso_md5) t=$(timed xorriso -md5 on -joliet on -outdev "stdio:$out" -map "$src" "/$tree") ;;
            esac
            if [ -z "${best[$name]:-}" ] || awk -v t="${t%% *}" -v b="${best[$name]%% *}" 'BEGIN{exit !(t < b)}'; then
                best[$name]=$t
            fi
        done
    done
    bytes=$(du -sb "$src" | cut -f1)
    printf '%s tree (%s bytes), best of three, wall / user / system seconds:\n' "$tree" "$bytes"
    for name in "${names[@]}"; do
        read -r w u s <<<"${best[$name]}"
        printf '  %-20s %7.2f %7.2f %7.2f\n' "$name" "$w" "$u" "$s"
    done
    k=${best[kestrane]%% *}
    kc=${best[kestrane_checksums]%% *}
    x=${best[xorriso]%% *}
    xm=${best[xorriso_md5]%% *}
    g=${best[genisoimage]%% *}
    # Where xorriso's own difference is lost in the noise (many small files), there is no ratio to give.
    printf '  checksums cost: kestrane %.2f s (x%s of its plain write), xorriso %.2f s (x%s); ours/theirs %s (goal: below 1.00)\n' \
        "$(awk -v a="$kc" -v b="$k" 'BEGIN{print a - b}')" "$(ratio "$kc" "$k")" \
        "$(awk -v a="$xm" -v b="$x" 'BEGIN{print a - b}')" "$(ratio "$xm" "$x")" \
        "$(awk -v a="$kc" -v b="$k" -v c="$xm" -v d="$x" 'BEGIN{e = c - d; if (e > 0.05 * d) printf "%.2f", (a - b) / e; else print "n/a (xorriso: within the noise)"}')"
    printf '  kestrane --checksums / xorriso -md5 on %s | kestrane --checksums / genisoimage %s | kestrane / genisoimage %s\n' \
        "$(ratio "$kc" "$xm")" "$(ratio "$kc" "$g")" "$(ratio "$k" "$g")"
done
raw_copy
