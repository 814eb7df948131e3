#!/bin/bash
# Makes a small bootable disc image for tests: a few files and a 2 KB no-emulation boot image
# (serial-boot.S) that prints KESTRANE-BOOT-OK on the first serial port.
#   make-boot-disc.sh OUT.iso [KIND]
# KIND:
#   plain       one BIOS entry, boot image /boot/boot.bin, catalogue /boot/boot.cat
#   info-table  the same with a boot info table patched into the boot image
#   two         a BIOS entry with a boot info table and a UEFI entry (/boot/efi.img, not a real EFI image)
#   hidden      boot image and catalogue hidden from the folders
#   mbr         info-table plus an MBR whose one partition spans the image (protective msdos label)
#   gpt         mbr plus an appended partition described by a GPT
#   isohybrid   an ISOLINUX disc with SYSLINUX's isohybrid MBR, bootable as a CD and as a disk; its
#               configuration prints ISOLINUX-SAYS-HELLO on the serial port, then lines of dashes so
#               that the power-off, which cuts off what the port has not sent yet, never cuts the word
#               (needs the isolinux and syslinux-common packages)
# Exits 77 when as, objcopy or xorriso is missing, or ISOLINUX for isohybrid.
set -euo pipefail
out=${1:?usage: make-boot-disc.sh OUT.iso [KIND]}
kind=${2:-plain}
here=$(cd "$(dirname "$0")" && pwd)
for tool in as objcopy xorriso; do
    command -v "$tool" >/dev/null || { echo "make-boot-disc.sh: $tool is missing" >&2; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
as --32 -o "$work/boot.o" "$here/serial-boot.S"
mkdir -p "$work/tree/boot" "$work/tree/docs"
objcopy -O binary -j .text "$work/boot.o" "$work/tree/boot/boot.bin"
[ "$(stat -c %s "$work/tree/boot/boot.bin")" -eq 2048 ] || { echo "make-boot-disc.sh: boot image is not 2 KB" >&2; exit 1; }
printf 'A disc that boots.\n' >"$work/tree/docs/readme.txt"
head -c 300000 /dev/zero | tr '\0' 'k' >"$work/tree/docs/filler.bin"

entry=(-boot_image any bin_path=/boot/boot.bin -boot_image any cat_path=/boot/boot.cat
       -boot_image any load_size=2048 -boot_image any emul_type=no_emulation)
table=(-boot_image any boot_info_table=on)
extra=()
case "$kind" in
plain) ;;
info-table) extra=("${table[@]}") ;;
two)
    head -c 65536 /dev/zero | tr '\0' 'e' >"$work/tree/boot/efi.img"
    extra=("${table[@]}" -boot_image any next -boot_image any efi_path=/boot/efi.img
           -boot_image any platform_id=0xef) ;;
hidden) extra=(-boot_image any cat_hidden=on -hide on /boot/boot.bin --) ;;
mbr) extra=("${table[@]}" -boot_image any partition_table=on) ;;
gpt)
    head -c 1048576 /dev/zero >"$work/part.img"
    extra=("${table[@]}" -append_partition 2 0xef "$work/part.img" -boot_image any appended_part_as=gpt
           -boot_image any partition_table=on) ;;
isohybrid)
    isolinux=/usr/lib/ISOLINUX
    modules=/usr/lib/syslinux/modules/bios
    for file in "$isolinux/isohdpfx.bin" "$isolinux/isolinux.bin" "$modules/ldlinux.c32"; do
        [ -f "$file" ] || { echo "make-boot-disc.sh: $file is missing" >&2; exit 77; }
    done
    rm -rf "$work/tree/boot"
    mkdir -p "$work/tree/isolinux"
    cp "$isolinux/isolinux.bin" "$modules/ldlinux.c32" "$work/tree/isolinux/"
    printf 'SERIAL 0 115200\nSAY ISOLINUX-SAYS-HELLO\nSAY ------------------------------------------------------------------------\nSAY ------------------------------------------------------------------------\nSAY ------------------------------------------------------------------------\nSAY ------------------------------------------------------------------------\nPROMPT 0\nDEFAULT stop\nLABEL stop\n  COM32 poweroff.c32\n' \
        >"$work/tree/isolinux/isolinux.cfg"
    for module in poweroff.c32 libcom32.c32 libutil.c32; do
        [ -f "$modules/$module" ] && cp "$modules/$module" "$work/tree/isolinux/"
    done
    rm -f "$out"
    xorriso -report_about SORRY -as mkisofs -quiet -o "$out" -V BOOTDISC -R -J \
        -isohybrid-mbr "$isolinux/isohdpfx.bin" -b isolinux/isolinux.bin -c isolinux/boot.cat \
        -no-emul-boot -boot-load-size 4 -boot-info-table "$work/tree" \
        >/dev/null 2>"$work/xorriso.log" || { cat "$work/xorriso.log" >&2; exit 1; }
    exit 0 ;;
*) echo "make-boot-disc.sh: unknown kind $kind" >&2; exit 2 ;;
esac
rm -f "$out"
xorriso -report_about SORRY -outdev "$out" -volid BOOTDISC -map "$work/tree" / "${entry[@]}" "${extra[@]}" \
    >/dev/null 2>"$work/xorriso.log" || { cat "$work/xorriso.log" >&2; exit 1; }
