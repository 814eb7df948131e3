#!/usr/bin/env bash
# kestrane-cli against the real udisksd, run as a normal user: a loop device named by
# KESTRANE_TEST_LOOP_STICK is listed as a stick (and nothing else is), and `burn --yes` writes the image to
# it through UDisks2 after unmounting the file system mounted on it.
#
# Root sets up the world: a loop device over a 64 MiB file, udevd (when none runs) with a rule that marks
# that loop alone as no system disk, and a private system bus (a socket in a temporary folder, never the
# machine's bus) with its own polkitd and udisksd. A polkit rule lets the test user alone use UDisks2 on that
# loop for as long as the test runs. Everything is stopped and removed on the way out, also on failure.
#
# Usage: real-udisks.sh KESTRANE_CLI
# Exits 77 (skipped) with one line saying why where it cannot run: not root, a program missing, no free
# loop device, a removable disk plugged in, or a daemon that does not come up in time.
set -euo pipefail

cli="${1:?usage: real-udisks.sh KESTRANE_CLI}"
cli="$(readlink -f "$cli")"

skip() {
    echo "SKIPPED: $*"
    exit 77
}

# Every wait is bounded, and all of them together stay within this budget, so that the trap always gets
# to clean up before ctest's timeout would kill the script.
deadline=$((SECONDS + 50))
left() {
    local seconds=$((deadline - SECONDS))
    echo $((seconds > 1 ? seconds : 1))
}
# poll SECONDS COMMAND...: true as soon as COMMAND succeeds, false when it has not within SECONDS.
poll() {
    local end=$((SECONDS + $1))
    ((end < deadline)) || end=$deadline
    shift
    until "$@" >/dev/null 2>&1; do
        ((SECONDS < end)) || return 1
        sleep 0.2
    done
}
first_of() {
    local candidate
    for candidate in "$@"; do
        [ -x "$candidate" ] && { echo "$candidate"; return 0; }
    done
    return 1
}

[ "$(id -u)" -eq 0 ] || skip "needs root to start udisksd, polkitd and udevd and to set up a loop device"
[ -x "$cli" ] || { echo "FAIL: $cli is not an executable" >&2; exit 1; }
udisksd="$(first_of /usr/libexec/udisks2/udisksd /usr/lib/udisks2/udisksd)" || skip "udisksd is not installed (udisks2)"
polkitd="$(first_of /usr/lib/polkit-1/polkitd /usr/libexec/polkitd /usr/libexec/polkit-1/polkitd)" ||
    skip "polkitd is not installed (polkitd)"
udevd="$(first_of /lib/systemd/systemd-udevd /usr/lib/systemd/systemd-udevd)" || skip "systemd-udevd is not installed (udev)"
for tool in losetup udevadm dbus-daemon gdbus setpriv mkfs.ext4 mount umount mountpoint findmnt cmp timeout; do
    command -v "$tool" >/dev/null || skip "$tool is missing"
done
mkiso="$(command -v genisoimage || command -v xorrisofs || true)"
[ -n "$mkiso" ] || skip "neither genisoimage nor xorrisofs is installed"
user="$(getent passwd 65534 | cut -d: -f1)"
[ -n "$user" ] || skip "no user with uid 65534 to run as"
uid=65534
gid="$(getent passwd 65534 | cut -d: -f4)"
busconf_dir=/usr/share/dbus-1/system.d
for policy in "$busconf_dir/org.freedesktop.UDisks2.conf" "$busconf_dir/org.freedesktop.PolicyKit1.conf"; do
    [ -f "$policy" ] || skip "$policy is missing"
done
# A second udisksd would share /run/udisks2 with the machine's own.
if grep -qsx udisksd /proc/[0-9]*/comm; then
    skip "a udisksd of the machine's own is running"
fi
# Only the loop may be listed: a removable disk of the machine's own would be listed beside it.
for dev in /sys/block/*; do
    name="${dev##*/}"
    case "$name" in loop* | ram* | zram* | sr*) continue ;; esac
    if { [ "$(cat "$dev/removable" 2>/dev/null)" = 1 ] || [[ "$(readlink -f "$dev")" == */usb* ]]; } &&
        [ "$(cat "$dev/size" 2>/dev/null)" != 0 ]; then
        skip "a removable disk (/dev/$name) is plugged in"
    fi
done

tmp=""
loop=""
mnt=""
bus_pid=""
polkitd_pid=""
udisksd_pid=""
udevd_pid=""
polkit_rule=/etc/polkit-1/rules.d/90-kestrane-test.rules
udev_rule=/run/udev/rules.d/90-kestrane-test-loop.rules
had_run_udev=false
[ -e /run/udev ] && had_run_udev=true
# udevd sets the modes of the device nodes by its rules and makes /dev/block, /dev/char and /dev/disk:
# the one started here leaves them as they were.
dev_links=(/dev/block /dev/char /dev/disk)
dev_links_before=()
for link_dir in "${dev_links[@]}"; do
    [ -e "$link_dir" ] && dev_links_before+=("$link_dir")
done
had_run_udisks=false
[ -e /run/udisks2 ] && had_run_udisks=true
failures=0

stop() {
    local pid=$1 i
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    for ((i = 0; i < 25; i++)); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.2
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    local status=$?
    set +e
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ] && [ -n "$tmp" ]; then
        for log in "$tmp"/*.log; do
            [ -s "$log" ] && { echo "--- ${log##*/}"; tail -n 30 "$log"; }
        done
    fi
    stop "$udisksd_pid"
    stop "$polkitd_pid"
    stop "$bus_pid"
    rm -f "$polkit_rule"
    [ -n "$mnt" ] && mountpoint -q "$mnt" && umount "$mnt"
    [ -n "$loop" ] && losetup -d "$loop"
    rm -f "$udev_rule"
    [ -z "$udevd_pid" ] && [ -n "$loop" ] && timeout 5 udevadm control --reload >/dev/null 2>&1
    if [ -n "$udevd_pid" ]; then
        timeout 5 udevadm control --exit >/dev/null 2>&1
        stop "$udevd_pid"
        $had_run_udev || rm -rf /run/udev
        for link_dir in "${dev_links[@]}"; do
            [[ " ${dev_links_before[*]} " == *" $link_dir "* ]] || rm -rf "$link_dir"
        done
        while read -r mode owner group node; do
            [ -e "$node" ] || continue
            [ "$(stat -c '%a %u %g' "$node")" = "$mode $owner $group" ] && continue
            chown "$owner:$group" "$node"
            chmod "$mode" "$node"
        done <"$tmp/dev-nodes"
    fi
    $had_run_udisks || rm -rf /run/udisks2
    [ -n "$tmp" ] && rm -rf "$tmp"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

tmp="$(mktemp -d /tmp/kestrane-real-udisks.XXXXXX)"
chmod 755 "$tmp" # the test user reads the image and the bus socket here

# The build may lie where the test user cannot go (a clone under /root): it runs a copy of the program
# folder, without the window's executable.
mkdir "$tmp/program"
for entry in "$(dirname "$cli")"/*; do
    [ "$entry" = "$(dirname "$cli")/kestrane" ] || cp -a "$entry" "$tmp/program/"
done
chmod -R a+rX "$tmp/program"
cli="$tmp/program/$(basename "$cli")"

echo "== a loop device with a mounted file system"
backing="$tmp/kestrane-stick.img"
truncate -s 64M "$backing"
mkfs.ext4 -q -F -L OLDSTICK "$backing"
loop="$(losetup --find --show "$backing" 2>"$tmp/losetup.log")" || { loop=""; skip "no free loop device"; }
echo "$loop over $backing"

echo "== udev"
mkdir -p "${udev_rule%/*}"
# UDisks2 takes a loop set up by root for a system disk; this one alone is not.
echo "SUBSYSTEM==\"block\", KERNEL==\"${loop#/dev/}\", ENV{UDISKS_SYSTEM}=\"0\"" >"$udev_rule"
if timeout 2 udevadm control --ping >/dev/null 2>&1; then
    udevadm control --reload
else
    find /dev -xdev \( -type b -o -type c \) -printf '%m %U %G %p\n' >"$tmp/dev-nodes"
    "$udevd" >"$tmp/udevd.log" 2>&1 &
    udevd_pid=$!
    poll 10 timeout 1 udevadm control --ping || skip "systemd-udevd did not come up"
fi
udevadm trigger --subsystem-match=block --action=add 2>"$tmp/trigger.log" ||
    skip "udevadm trigger failed: $(head -n 1 "$tmp/trigger.log")"
timeout "$(left)" udevadm settle --timeout=10 || true
udevadm info --query=property --name="$loop" | grep -qx 'UDISKS_SYSTEM=0' ||
    skip "udev did not apply the test's rule to $loop"

mnt="$tmp/mnt"
mkdir "$mnt"
mounted=true
if ! mount "$loop" "$mnt" 2>"$tmp/mount.log"; then
    mounted=false
    echo "note: $loop cannot be mounted here ($(head -n 1 "$tmp/mount.log")); the unmount is not checked"
fi

echo "== the image"
mkdir "$tmp/src"
head -c 300000 /dev/urandom >"$tmp/src/data.bin"
echo "kestrane" >"$tmp/src/readme.txt"
iso="$tmp/image.iso"
"$mkiso" -quiet -R -J -V KESTRANE_TEST -o "$iso" "$tmp/src" 2>"$tmp/mkiso.log"
iso_bytes="$(stat -c %s "$iso")"
echo "$iso: $iso_bytes bytes"

echo "== a private system bus with polkitd and udisksd"
mkdir "$tmp/bus"
chmod 755 "$tmp/bus"
socket="$tmp/bus/system_bus_socket"
# The system bus's own policy with the UDisks2 and polkit holes, no activation, this socket only.
sed -e '/<user>/d' -e '/<fork\/>/d' -e '/<standard_system_servicedirs\/>/d' -e '/<servicehelper>/d' \
    -e '/<pidfile>/d' -e '/<syslog\/>/d' -e '/<include/d' \
    -e "s#<listen>.*</listen>#<listen>unix:path=$socket</listen>#" \
    -e "s#</busconfig>#<include>$busconf_dir/org.freedesktop.UDisks2.conf</include><include>$busconf_dir/org.freedesktop.PolicyKit1.conf</include></busconfig>#" \
    /usr/share/dbus-1/system.conf >"$tmp/bus.conf"
dbus-daemon --config-file="$tmp/bus.conf" --nofork --nopidfile >"$tmp/dbus-daemon.log" 2>&1 &
bus_pid=$!
poll 5 test -S "$socket" || skip "dbus-daemon did not come up"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$socket"

has_owner() {
    gdbus call --system --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
        --method org.freedesktop.DBus.NameHasOwner "$1" | grep -q true
}
# polkitd reads its rules from /etc only: the rule also holds for a polkitd on the machine's own bus, so it
# is as narrow as the test allows: the test user, UDisks2's actions, the test's loop device.
cat >"$polkit_rule" <<EOF
// Written by Kestrane's test against the real udisksd and removed when the test ends.
polkit.addRule(function(action, subject) {
    if (action.id.indexOf("org.freedesktop.udisks2.") == 0 && subject.user == "$user" &&
        action.lookup("device") == "$loop")
        return polkit.Result.YES;
});
EOF
chmod 644 "$polkit_rule"
"$polkitd" --no-debug >"$tmp/polkitd.log" 2>&1 &
polkitd_pid=$!
poll 10 has_owner org.freedesktop.PolicyKit1 || skip "polkitd did not come up within 10 s"

"$udisksd" >"$tmp/udisksd.log" 2>&1 &
udisksd_pid=$!
loop_object="/org/freedesktop/UDisks2/block_devices/${loop#/dev/}"
loop_known() {
    gdbus introspect --system --dest org.freedesktop.UDisks2 --object-path "$loop_object" --only-properties |
        grep 'interface org.freedesktop.UDisks2.Loop' > /dev/null # reads it all: no SIGPIPE under pipefail
}
poll 20 loop_known || skip "udisksd did not come up with $loop within 20 s"
objects="$(gdbus call --system --dest org.freedesktop.UDisks2 --object-path /org/freedesktop/UDisks2 \
    --method org.freedesktop.DBus.ObjectManager.GetManagedObjects)"
echo "udisksd reports: $(grep -o "'Device': <b'/dev/[^']*'>" <<<"$objects" | sed "s/.*b'\(.*\)'>/\1/" |
    grep -v '^/dev/loop' | sort -u | tr '\n' ' ')and $loop"

# as_user [NAME=VALUE...]: the command line with cli_args as the test user, on the private bus, with
# nothing else of root's environment.
as_user() {
    timeout "$(left)" setpriv --reuid="$uid" --regid="$gid" --clear-groups \
        env -i PATH=/usr/bin:/bin LANG=C.UTF-8 HOME="$tmp/home" DBUS_SYSTEM_BUS_ADDRESS="$DBUS_SYSTEM_BUS_ADDRESS" \
        "$@" "$cli" "${cli_args[@]}"
}
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
mkdir "$tmp/home"
chown "$uid:$gid" "$tmp/home"
# A stick's line: "D:Loop kestrane-stick.img (64.00 MB), USB stick or SD card, 67,108,864 bytes free".
stick_lines() { grep -E '^[A-Z]:.*, USB stick or SD card(,|$)' || true; }
expected="Loop ${backing##*/} (64.00 MB)"

# Else the write would not show that it went through UDisks2's OpenDevice.
if setpriv --reuid="$uid" --regid="$gid" --clear-groups test -r "$loop" -o -w "$loop"; then
    fail "$user may open $loop without UDisks2"
fi

echo "== kestrane-cli drives, as $user"
cli_args=(drives)
without="$(as_user 2>"$tmp/drives-without.log")" || fail "drives without KESTRANE_TEST_LOOP_STICK exited $?"
[ -z "$(stick_lines <<<"$without")" ] ||
    fail "without KESTRANE_TEST_LOOP_STICK drives lists sticks: $(stick_lines <<<"$without")"

listed="$(as_user KESTRANE_TEST_LOOP_STICK="$loop" 2>"$tmp/drives.log")" || fail "drives exited $?"
echo "$listed"
sticks="$(stick_lines <<<"$listed")"
if [ "$(wc -l <<<"$sticks")" -ne 1 ] || [[ "${sticks:2}" != "$expected"* ]]; then
    fail "drives should list exactly one stick, \"$expected\", and lists: ${sticks:-none}"
fi
letter="${sticks:0:1}"
[ -n "$letter" ] || exit 1

echo "== kestrane-cli burn --drive $letter --yes, as $user"
cli_args=(burn "$iso" --drive "$letter" --yes --quiet)
burnt="$(as_user KESTRANE_TEST_LOOP_STICK="$loop" 2>"$tmp/burn.log")" || fail "burn exited $?: $(cat "$tmp/burn.log")"
echo "$burnt"
cat "$tmp/burn.log" >&2
# UDisks2's refusals after the write (the rescan that shows the new partitions) are only notes.
! grep -q 'udisks' "$tmp/burn.log" || fail "burn reported trouble with UDisks2"
grep -qx 'Writing is complete!' <<<"$burnt" || fail "burn did not say that the write is complete"
cmp -n "$iso_bytes" "$iso" "$loop" || fail "the first $iso_bytes bytes of $loop are not the image"
if $mounted; then
    ! mountpoint -q "$mnt" || fail "$mnt is still mounted"
    [ -z "$(findmnt -n --source "$loop")" ] || fail "$loop is still mounted: $(findmnt -n --source "$loop")"
fi

[ "$failures" -eq 0 ] || exit 1
echo "PASSED"
