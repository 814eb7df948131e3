#!/usr/bin/env bash
# kestrane-cli against real MMC drives: QEMU's emulated IDE (ide-cd) and SCSI (scsi-cd) drives in a small
# Debian guest under TCG. Boots the guest once per bus and drive state and checks every row of cases.txt
# (exit status and message); prints each row's time inside the guest.
# Usage: drive-qemu.sh PROGRAM_FOLDER (build/Kestrane). The guest is built once with mmdebstrap and kept in
# KESTRANE_QEMU_CACHE (default /var/cache/kestrane-qemu as root, else ~/.cache/kestrane-qemu), named by a
# hash of what it is made of. Exits 77 (skipped) where it cannot run: qemu-system-x86_64 missing, or no
# cached guest and mmdebstrap, e2fsprogs or the namespaces mmdebstrap needs missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
program=$(cd "${1:?usage: drive-qemu.sh PROGRAM_FOLDER}" && pwd)
# The whole run's own bound, below ctest's: a guest that hangs is stopped by qemu-session.py.
boot_limit=${KESTRANE_QEMU_BOOT_LIMIT:-600}
started=$(date +%s)
skip() { echo "drive-qemu: skipped: $*"; exit 77; }
have() { command -v "$1" > /dev/null; }

have qemu-system-x86_64 || skip "qemu-system-x86_64 is not installed (Debian: qemu-system-x86)"
for tool in python3 xorriso; do
    have "$tool" || { echo "drive-qemu: $tool is missing" >&2; exit 1; }
done

if [ -n "${KESTRANE_QEMU_CACHE:-}" ]; then
    cache=$KESTRANE_QEMU_CACHE
elif [ "$(id -u)" -eq 0 ]; then
    cache=/var/cache/kestrane-qemu
else
    cache=${XDG_CACHE_HOME:-$HOME/.cache}/kestrane-qemu
fi
hash=$(cat "$here/guest-packages.txt" "$here/guest-init.sh" "$here/build-guest.sh" | sha256sum | cut -c1-16)
guest="$cache/guest-$hash"
mkdir -p "$cache"
exec 9> "$cache/.lock"
flock 9 # one build at a time; a second run waits for it and then uses it
if [ ! -f "$guest/root.img" ]; then
    have mkfs.ext4 || skip "e2fsprogs is not installed and no guest is cached in $cache"
    have mmdebstrap || skip "mmdebstrap is not installed and no guest is cached in $cache"
    # mmdebstrap mounts in a chroot as root and needs a user namespace otherwise.
    if [ "$(id -u)" -eq 0 ]; then
        unshare --mount true 2> /dev/null || skip "cannot make a mount namespace here (mmdebstrap needs it)"
    else
        unshare --user --map-root-user true 2> /dev/null ||
            skip "cannot make a user namespace here (mmdebstrap needs it as a user)"
        { have newuidmap && grep -q "^$(id -un):" /etc/subuid 2> /dev/null; } ||
            skip "no subordinate user ids for $(id -un) (mmdebstrap needs uidmap and an entry in /etc/subuid)"
    fi
    echo "drive-qemu: building the guest into $guest (once; minutes)"
    built=$(date +%s)
    bash "$here/build-guest.sh" "$guest" > "$cache/build-$hash.log" 2>&1 || {
        tail -30 "$cache/build-$hash.log"
        echo "drive-qemu: building the guest failed (log: $cache/build-$hash.log)" >&2
        exit 1
    }
    echo "drive-qemu: guest built in $(( $(date +%s) - built )) s"
    # Guests of earlier recipes, and their logs, are of no more use.
    find "$cache" -mindepth 1 -maxdepth 1 \( -name 'guest-*' -o -name 'build-*.log' \) ! -name "*-$hash*" \
        -exec rm -rf {} +
fi
flock -u 9
have debugfs || { echo "drive-qemu: debugfs (e2fsprogs) is missing" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kestrane-qemu.XXXXXX")
# KESTRANE_QEMU_KEEP=1 keeps every row's output (and the guest's console) for a look afterwards.
if [ "${KESTRANE_QEMU_KEEP:-0}" = 1 ]; then
    trap 'rm -f "$work"/*/data.img; echo "drive-qemu: outputs kept in $work"' EXIT
else
    trap 'rm -rf "$work"' EXIT
fi
cli="$program/kestrane-cli"
export KESTRANE_NO_STICKS=1 KESTRANE_VIRTUAL_DRIVES=

# The discs: a data disc with checksums, another image, a bootable disc and one of 300 MB.
discs="$work/discs"
mkdir -p "$discs/tree/docs/deeper" "$work/bootsrc" "$work/bigsrc" "$work/othersrc"
# Errors still reach the log; the programs' success lines do not.
echo "first file" > "$discs/tree/a.txt"
head -c 150000 /dev/urandom > "$discs/tree/docs/random.bin"
echo "ünïcode name" > "$discs/tree/docs/deeper/été.txt"
: > "$discs/tree/docs/empty"
"$cli" make-iso --quiet --checksums --label "KESTRANE QEMU" "$discs/data.iso" "$discs"/tree/* > /dev/null
echo "another disc" > "$work/othersrc/b.txt"
"$cli" make-iso --quiet --label "OTHER" "$discs/other.iso" "$work/othersrc/b.txt" > /dev/null
head -c 2048 /dev/urandom > "$work/bootsrc/boot.img"
echo "on a bootable disc" > "$work/bootsrc/readme.txt"
xorriso -as mkisofs -quiet -V BOOTABLE -b boot.img -no-emul-boot -boot-load-size 4 \
    -o "$discs/boot.iso" "$work/bootsrc" 2> "$work/xorriso.log" || { cat "$work/xorriso.log"; exit 1; }
head -c 300M /dev/urandom > "$work/bigsrc/big.bin"
"$cli" make-iso --quiet --checksums --label "BIG" "$discs/big.iso" "$work/bigsrc/big.bin" > /dev/null
rm -rf "$work/bigsrc"

failures=0
report="$work/report.txt"
boot() { # BUS
    local bus=$1 run="$work/$1"
    mkdir -p "$run/stage/discs"
    cp "$here/guest-run.sh" "$here/cases.txt" "$run/stage/"
    echo "$bus" > "$run/stage/bus"
    echo $(( boot_limit - 30 )) > "$run/stage/time-limit"
    cp -a "$program" "$run/stage/Kestrane"
    cp -a "$discs/tree" "$discs/data.iso" "$discs/other.iso" "$discs/boot.iso" "$run/stage/discs/"
    mkfs.ext4 -q -F -E root_owner=0:0 -d "$run/stage" "$run/data.img" 1200M > /dev/null
    rm -rf "$run/stage"
    local booted
    booted=$(date +%s)
    python3 "$here/qemu-session.py" --guest "$guest" --data "$run/data.img" --bus "$bus" \
        --discs "$discs" --console "$run/console.log" --timeout "$boot_limit" \
        2> "$run/session.log" || true
    echo "drive-qemu: $bus: QEMU ran $(( $(date +%s) - booted )) s; the guest was up" \
        "$(debugfs -R "cat /out/booted" "$run/data.img" 2> /dev/null || echo '?') s before the first row"
    debugfs -R "rdump /out $run" "$run/data.img" > /dev/null 2>&1 || true
    rm -f "$run/data.img"
    check "$bus" "$run"
}

trim() { # the text without the blanks around it
    local text=${1#"${1%%[![:space:]]*}"}
    printf '%s' "${text%"${text##*[![:space:]]}"}"
}

check() { # BUS RUN_FOLDER
    local bus=$1 run=$2 results="$2/out/results.tsv"
    while IFS='|' read -r buses id _ expect pattern command; do
        case "$buses" in '#'* | '') continue ;; esac
        case ",$(trim "$buses")," in *",$bus,"*) ;; *) continue ;; esac
        id=$(trim "$id") expect=$(trim "$expect") pattern=$(trim "$pattern")
        local row status ms log="$run/out/$id.log" problem=""
        row=$(grep -P "^\Q$id\E\t" "$results" 2> /dev/null || true)
        if [ -z "$row" ]; then
            problem="never ran (the guest stopped before it)"
        else
            status=$(cut -f2 <<< "$row") ms=$(cut -f3 <<< "$row")
            [ "$status" = "$expect" ] || problem="exit status $status, expected $expect"
            if [ -n "$pattern" ] && ! grep -qF -- "$pattern" "$log"; then
                problem="${problem:+$problem; }output lacks \"$pattern\""
            fi
        fi
        if [ -z "$problem" ]; then
            printf 'ok    %-4s %-22s %7s ms\n' "$bus" "$id" "$ms" | tee -a "$report"
        else
            failures=$(( failures + 1 ))
            printf 'FAIL  %-4s %-22s %s\n' "$bus" "$id" "$problem" | tee -a "$report"
            echo "      command: $(trim "$command")"
            [ -f "$log" ] && sed 's/^/      | /' "$log" | tail -15
        fi
    done < "$here/cases.txt"
    if [ ! -f "$results" ]; then
        echo "drive-qemu: $bus: no results; the guest's console and the session said:"
        tail -25 "$run/console.log" "$run/session.log" 2> /dev/null | sed 's/^/      | /'
    fi
}

for bus in ${KESTRANE_QEMU_BUSES:-ide scsi}; do
    boot "$bus"
done
echo "drive-qemu: $(grep -c '^ok' "$report" || true) rows passed, $failures failed, in $(( $(date +%s) - started )) s"
[ "$failures" -eq 0 ]
