#!/usr/bin/env bash
# A bootable disc in a virtual drive, copied by `kestrane-cli copy-disc` (files) and `copy-disc --raw`
# (blocks): each copy lists the disc's El Torito entries (xorriso -report_el_torito) and boots under
# QEMU to the word its boot image prints on the serial port.
#
# Usage: boot-copy.sh KESTRANE_CLI
# Exits 77 (skipped) when the fixture's tools (as, objcopy, xorriso) or qemu-system-x86_64 are missing;
# every check that can run without QEMU has run by then.
set -euo pipefail

cli="$(readlink -f "${1:?usage: boot-copy.sh KESTRANE_CLI}")"
here="$(cd "$(dirname "$0")" && pwd)"
make_disc="$here/../data/boot/make-boot-disc.sh"
word=KESTRANE-BOOT-OK
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# The entries without the block addresses, which a copy lays out anew.
entries() {
    xorriso -indev "$1" -report_el_torito plain 2>/dev/null |
        awk '/^El Torito catalog/ {$5 = ""} /^El Torito boot img/ {$NF = ""} /^El Torito/ {$1 = $1; print}'
}

# The boot image ends QEMU through isa-debug-exit, whose status is never 0: only the output counts.
boots() {
    timeout 30 qemu-system-x86_64 -cdrom "$1" -boot d -nographic -display none -serial stdio -monitor none \
        -net none -no-reboot -device isa-debug-exit,iobase=0xf4,iosize=0x04 </dev/null >"$work/serial" 2>&1 || true
    grep -q "$word" "$work/serial"
}

have_qemu=true
command -v qemu-system-x86_64 >/dev/null || have_qemu=false

# gpt: the GPT cannot be laid out again for the copy, which says so in a note and boots all the same.
for kind in plain info-table two hidden mbr gpt; do
    src="$work/$kind.iso"
    status=0
    bash "$make_disc" "$src" "$kind" || status=$?
    [ "$status" -eq 77 ] && { echo "SKIPPED: the boot fixture cannot be made here"; exit 77; }
    [ "$status" -eq 0 ] || { fail "$kind: the fixture was not made"; continue; }
    disc="$work/disc.img"
    cp "$src" "$disc"
    export KESTRANE_VIRTUAL_DRIVES="$disc=64M" KESTRANE_NO_STICKS=1 QT_QPA_PLATFORM=offscreen

    copy="$work/$kind-copy.iso"
    if ! "$cli" copy-disc D: "$copy" --quiet >"$work/out" 2>"$work/err"; then
        fail "$kind: copy-disc failed: $(cat "$work/err")"
        continue
    fi
    grep -qx "ISO File Created successfully!" "$work/out" || fail "$kind: no success line"
    if [ "$kind" = gpt ]; then
        grep -q "^kestrane-cli: note: The disc in drive D: its partition tables after the MBR" "$work/err" ||
            fail "$kind: no note of the GPT left out: $(cat "$work/err")"
    elif grep -q "^kestrane-cli: note:" "$work/err"; then
        fail "$kind: copy-disc left something out: $(cat "$work/err")"
    fi
    [ "$(entries "$copy")" = "$(entries "$src")" ] ||
        fail "$kind: boot entries differ"$'\n'"$(entries "$src")"$'\n'"--- copy:"$'\n'"$(entries "$copy")"

    raw="$work/$kind-raw.iso"
    if "$cli" copy-disc D: "$raw" --raw --quiet >/dev/null 2>"$work/err"; then
        cmp -s "$raw" "$disc" || fail "$kind: the raw copy differs from the disc"
    else
        fail "$kind: copy-disc --raw failed: $(cat "$work/err")"
    fi

    if $have_qemu; then
        boots "$src" || fail "$kind: the disc itself does not boot (fixture or QEMU broken)"
        boots "$copy" || fail "$kind: the copy does not boot"
        boots "$raw" || fail "$kind: the raw copy does not boot"
    fi
    echo "$kind: checked"
done

# A real installer's layout: ISOLINUX with SYSLINUX's isohybrid MBR. The copy must boot as a CD and,
# through the MBR libisofs lays out again for it, as a disk (a stick).
system_area() {
    xorriso -indev "$1" -report_system_area plain 2>/dev/null | sed -n 's/^System area summary: *//p'
}
says_hello() {
    timeout 30 qemu-system-x86_64 "$1" "$2" -nographic -display none -serial stdio -monitor none -net none \
        -no-reboot </dev/null >"$work/serial" 2>&1 || true
    # The BIOS mirrors the screen onto the serial port, and its cursor moves and carriage returns can
    # fall inside the word.
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' "$work/serial" | tr -d '\000-\011\013-\037' | grep -q "ISOLINUX-SAYS-HELLO"
}
status=0
bash "$make_disc" "$work/isohybrid.iso" isohybrid || status=$?
if [ "$status" -eq 77 ]; then
    echo "isohybrid: not checked, ISOLINUX is not installed"
elif [ "$status" -ne 0 ]; then
    fail "isohybrid: the fixture was not made"
else
    cp "$work/isohybrid.iso" "$work/disc.img"
    copy="$work/isohybrid-copy.iso"
    if "$cli" copy-disc D: "$copy" --quiet >/dev/null 2>"$work/err"; then
        grep -q "^kestrane-cli: note:" "$work/err" && fail "isohybrid: copy-disc left something out: $(cat "$work/err")"
        [ "$(entries "$copy")" = "$(entries "$work/isohybrid.iso")" ] || fail "isohybrid: boot entries differ"
        [ "$(system_area "$copy")" = "$(system_area "$work/isohybrid.iso")" ] ||
            fail "isohybrid: system area differs: $(system_area "$copy")"
        if $have_qemu; then
            says_hello -cdrom "$copy" || fail "isohybrid: the copy does not boot as a CD"
            says_hello -hda "$copy" ||
                fail "isohybrid: the copy does not boot as a disk; the serial port said: $(tail -c 600 "$work/serial" | tr -c '[:print:]\n' '.')"
        fi
        echo "isohybrid: checked"
    else
        fail "isohybrid: copy-disc failed: $(cat "$work/err")"
    fi
fi

((failures == 0)) || exit 1
$have_qemu || { echo "SKIPPED: qemu-system-x86_64 is missing: nothing was booted"; exit 77; }
echo "all copies boot"
