#!/bin/sh
# The guest's first process: loads the drivers of QEMU's drives, mounts the data disk, runs the test
# script it carries under a time limit and powers off. The kernel starts it with init=/kestrane-init.
PATH=/usr/sbin:/usr/bin:/sbin:/bin
export PATH
mount -t proc proc /proc 2>/dev/null
mount -t sysfs sysfs /sys 2>/dev/null
mount -t devtmpfs devtmpfs /dev 2>/dev/null
mount -t tmpfs tmpfs /tmp
# ata_piix drives the IDE controller of QEMU's pc machine, virtio_scsi the SCSI one; sr_mod and sg give
# /dev/sr0 and /dev/sg0, which libburn opens.
for m in cdrom sr_mod sg ata_piix virtio_scsi; do
    modprobe "$m" || echo "kestrane-init: modprobe $m failed"
done
mkdir -p /data
if mount -t ext4 /dev/vdb /data && [ -x /data/guest-run.sh ]; then
    limit=$(cat /data/time-limit 2>/dev/null || echo 600)
    timeout -s KILL "$limit" /data/guest-run.sh
    echo "kestrane-init: guest-run.sh ended with $?"
    sync
    umount /data
else
    echo "kestrane-init: no test script on /dev/vdb"
fi
echo o > /proc/sysrq-trigger
sleep 30
