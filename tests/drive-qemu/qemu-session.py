#!/usr/bin/env python3
"""Boots the test guest once with one emulated drive and serves its requests to change or pull the disc.

The guest's console goes to a file; its second serial port is a socket on which it asks "change NAME"
(put DISCS/NAME into the drive), "eject" (pull the disc out, forced, as a user yanking a tray would) or
"tray" (whether the tray is open and holds a disc); each is done through QMP and answered "ok" and what
was asked, or the error. The whole boot has a time limit: a guest that
hangs is stopped and the run fails.
"""
import argparse
import json
import os
import socket
import subprocess
import sys
import time


class Qmp:
    def __init__(self, sock):
        self.sock = sock
        self.file = self.sock.makefile("rw")
        self.file.readline()  # the greeting
        self.call("qmp_capabilities")

    def call(self, command, **arguments):
        self.file.write(json.dumps({"execute": command, "arguments": arguments}) + "\n")
        self.file.flush()
        while True:
            answer = json.loads(self.file.readline())
            if "return" in answer:
                return None, answer["return"]
            if "error" in answer:
                return answer["error"].get("desc", str(answer["error"])), None
            # events (DEVICE_TRAY_MOVED, ...) are not answers


def connect(path, deadline):
    while True:
        try:
            sock = socket.socket(socket.AF_UNIX)
            sock.connect(path)
            return sock
        except OSError:
            sock.close()
            if time.monotonic() > deadline:
                raise
            time.sleep(0.05)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--guest", required=True, help="folder with vmlinuz, initrd and root.img")
    parser.add_argument("--data", required=True, help="the data disk image")
    parser.add_argument("--bus", choices=["ide", "scsi"], required=True)
    parser.add_argument("--discs", required=True, help="folder of the discs the guest may ask for")
    parser.add_argument("--disc", default="", help="the disc in the drive at boot; none when empty")
    parser.add_argument("--console", required=True)
    parser.add_argument("--timeout", type=float, default=900)
    args = parser.parse_args()

    run = os.path.dirname(os.path.abspath(args.console))
    qmp_path = os.path.join(run, "qmp.sock")
    ctl_path = os.path.join(run, "ctl.sock")
    for path in (qmp_path, ctl_path):
        if os.path.exists(path):
            os.unlink(path)
    drive = "if=none,id=cd,media=cdrom,readonly=on"
    if args.disc:
        drive += ",format=raw,file=" + os.path.join(args.discs, args.disc)
    device = ["-device", "ide-cd,drive=cd,id=cdrom0"]
    if args.bus == "scsi":
        device = ["-device", "virtio-scsi-pci,id=scsi0", "-device", "scsi-cd,drive=cd,bus=scsi0.0,id=cdrom0"]
    guest = args.guest
    command = [
        "qemu-system-x86_64", "-accel", "tcg", "-m", "1024", "-display", "none", "-monitor", "none",
        "-no-reboot", "-net", "none",
        "-kernel", os.path.join(guest, "vmlinuz"), "-initrd", os.path.join(guest, "initrd"),
        "-append", "console=ttyS0 root=/dev/vda rw init=/kestrane-init panic=1 quiet",
        "-drive", "file=%s,if=virtio,format=raw,snapshot=on" % os.path.join(guest, "root.img"),
        "-drive", "file=%s,if=virtio,format=raw" % args.data,
        "-drive", drive, *device,
        "-serial", "file:" + args.console,
        "-chardev", "socket,id=ctl,path=%s,server=on,wait=off" % ctl_path, "-serial", "chardev:ctl",
        "-qmp", "unix:%s,server=on,wait=off" % qmp_path,
    ]
    started = time.monotonic()
    deadline = started + args.timeout
    qemu = subprocess.Popen(command, stdin=subprocess.DEVNULL)
    try:
        qmp = Qmp(connect(qmp_path, started + 30))
        ctl = connect(ctl_path, started + 30)
        ctl.settimeout(0.5)
        pending = b""
        while qemu.poll() is None:
            if time.monotonic() > deadline:
                print("drive-qemu: the guest did not end within %d s; stopped" % args.timeout, file=sys.stderr)
                qemu.kill()
                qemu.wait()
                return 124
            try:
                chunk = ctl.recv(4096)
            except socket.timeout:
                continue
            if not chunk:
                time.sleep(0.2)
                continue
            pending += chunk
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                words = line.decode(errors="replace").strip().split()
                if not words:
                    continue
                said = "ok"
                if words[0] == "change" and len(words) == 2:
                    error, _ = qmp.call("blockdev-change-medium", id="cdrom0",
                                     filename=os.path.join(args.discs, words[1]), format="raw",
                                     **{"read-only-mode": "read-only"})
                elif words[0] == "eject":
                    error, _ = qmp.call("eject", id="cdrom0", force=True)
                elif words[0] == "tray":
                    error, blocks = qmp.call("query-block")
                    for block in blocks or []:
                        if "cdrom0" in block.get("qdev", ""):
                            said = "ok tray %s, %s" % ("open" if block.get("tray_open") else "closed",
                                                       "disc in it" if "inserted" in block else "no disc")
                else:
                    error = "unknown request: " + " ".join(words)
                said = error or said
                print("drive-qemu: %.1f s: %s -> %s" % (time.monotonic() - started, " ".join(words), said),
                      file=sys.stderr)
                ctl.sendall((said.replace("\n", " ") + "\n").encode())
        print("drive-qemu: the guest ran %.1f s" % (time.monotonic() - started), file=sys.stderr)
        return qemu.returncode
    finally:
        if qemu.poll() is None:
            qemu.kill()
            qemu.wait()


if __name__ == "__main__":
    sys.exit(main())
