#!/usr/bin/env bash
# Builds the guest that QEMU boots for the drive tests into the folder given: vmlinuz, a small initrd and
# root.img (an ext4 root with guest-init.sh as /kestrane-init). Debian 12 from this machine's apt sources
# (KESTRANE_QEMU_MIRROR overrides them); as root mmdebstrap works in a chroot, as a user in a namespace.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
out=$1
packages=$(grep -v '^\s*#' "$here/guest-packages.txt" | sed '/^\s*$/d' | paste -sd, -)

mirrors=()
if [ -n "${KESTRANE_QEMU_MIRROR:-}" ]; then
    mirrors=("$KESTRANE_QEMU_MIRROR")
else
    # Only Debian's own sources: others name keyrings and suites the guest has no use for.
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] && grep -Eq '^[^#]*(URIs:|deb ).*debian\.(org|net)' "$f" && mirrors+=("$f")
    done
    [ ${#mirrors[@]} -gt 0 ] || mirrors=(http://deb.debian.org/debian)
fi

tmp="$out.part"
rm -rf "$tmp"
mkdir -p "$tmp"
# The mkfs runs inside the hook, where the owners are the chroot's own also when mmdebstrap works in a
# user namespace; mkfs.ext4 -d takes a folder (it cannot read a tarball), so no tarball is made. It reads
# a plain bind mount of the root, which leaves out the /proc, /sys and /dev mounted on it meanwhile.
# The hooks' $1 is the chroot, expanded by mmdebstrap's shell, not here.
# shellcheck disable=SC2016
# MODULES=list keeps the initramfs to the three drivers that mount the root; the rest loads from the root.
mmdebstrap --variant=minbase --format=null --include="$packages" \
    --essential-hook='mkdir -p "$1/etc/initramfs-tools/conf.d" && echo MODULES=list > "$1/etc/initramfs-tools/conf.d/kestrane"' \
    --customize-hook='printf "virtio_pci\nvirtio_blk\next4\n" > "$1/etc/initramfs-tools/modules"' \
    --customize-hook='chroot "$1" update-initramfs -u -k all' \
    --customize-hook="cp '$here/guest-init.sh' \"\$1/kestrane-init\" && chmod 755 \"\$1/kestrane-init\"" \
    --customize-hook="cp -L \"\$1/vmlinuz\" '$tmp/vmlinuz' && cp -L \"\$1/initrd.img\" '$tmp/initrd'" \
    --customize-hook='rm -rf "$1"/usr/share/doc/* "$1"/usr/share/man/* "$1"/usr/share/locale/* "$1"/var/cache/apt/* "$1"/var/lib/apt/lists/* "$1"/boot/*' \
    --customize-hook="$(cat <<HOOK
flat=\$(mktemp -d) && mount --bind "\$1" "\$flat" || exit 1
mkfs.ext4 -q -F -L kestrane-guest -d "\$flat" '$tmp/root.img' \$(( \$(du -sm "\$flat" | cut -f1) * 5 / 4 + 64 ))M
made=\$?
umount "\$flat"; rmdir "\$flat"
exit \$made
HOOK
)" \
    bookworm /dev/null "${mirrors[@]}"
rm -rf "$out"
mv "$tmp" "$out"
