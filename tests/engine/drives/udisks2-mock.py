#!/usr/bin/python3
"""A small UDisks2 for tests, on the bus given by --address: a USB stick and a system disk, each
backed by a plain file. OpenDevice hands out a descriptor of the file; the modes "busy" and
"not-authorised" refuse it as udisksd does, and "fake" plays a fake stick that stores what it is given
somewhere else than asked (an O_APPEND descriptor: Linux appends whatever offset pwrite names), and
"asking" never answers, as a password dialog nobody fills in. Every call is appended to --log, one line each.
The test switches the mode, plugs and unplugs the stick through org.kestrane.UdisksMock."""

import argparse
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

UDISKS = "org.freedesktop.UDisks2"
BLOCK = UDISKS + ".Block"
DRIVE = UDISKS + ".Drive"
PARTITION = UDISKS + ".Partition"
FILESYSTEM = UDISKS + ".Filesystem"
OBJECT_MANAGER = "org.freedesktop.DBus.ObjectManager"
PROPERTIES = "org.freedesktop.DBus.Properties"
CONTROL = "org.kestrane.UdisksMock"
ROOT = "/org/freedesktop/UDisks2"

O_EXCL = os.O_EXCL


def ay(text):
    return dbus.Array([dbus.Byte(b) for b in text.encode() + b"\0"], signature="y")


class Mock:
    def __init__(self, args):
        self.args = args
        self.mode = args.mode
        self.log = open(args.log, "a", buffering=1)
        self.objects = {}  # path -> MockObject

    def note(self, line):
        self.log.write(line + "\n")


class MockObject(dbus.service.Object):
    def __init__(self, mock, bus, path, interfaces, backing=None):
        super().__init__(bus, path)
        self.mock = mock
        self.path = path
        self.interfaces = interfaces
        self.backing = backing

    # org.freedesktop.UDisks2.Block
    @dbus.service.method(BLOCK, in_signature="sa{sv}", out_signature="h", async_callbacks=("reply", "error"))
    def OpenDevice(self, mode, options, reply, error):
        try:
            fd = self.open_device(mode, options)
        except dbus.exceptions.DBusException as e:
            error(e)
            return
        if fd is None:
            return  # "asking": the user never answers the password dialog
        reply(dbus.types.UnixFd(fd))
        os.close(fd)

    def open_device(self, mode, options):
        flags = int(options.get("flags", 0))
        interactive = not bool(options.get("auth.no_user_interaction", False))
        self.mock.note("OpenDevice %s %s excl=%d interactive=%d" % (self.path, mode, 1 if flags & O_EXCL else 0,
                                                                    1 if interactive else 0))
        if self.mock.mode == "busy":
            raise dbus.exceptions.DBusException(
                "Error opening device %s: Device or resource busy" % self.device(),
                name=UDISKS + ".Error.Failed")
        if self.mock.mode == "not-authorised":
            raise dbus.exceptions.DBusException("Not authorized to perform operation",
                                                name=UDISKS + ".Error.NotAuthorizedCanObtain")
        if self.mock.mode == "asking":
            return None
        if not flags & O_EXCL:
            raise dbus.exceptions.DBusException("the mock only opens with O_EXCL", name=UDISKS + ".Error.Failed")
        extra = os.O_APPEND if self.mock.mode == "fake" else 0
        return os.open(self.backing, os.O_RDWR | os.O_CLOEXEC | extra)

    @dbus.service.method(BLOCK, in_signature="a{sv}", out_signature="")
    def Rescan(self, options):
        self.mock.note("Rescan %s" % self.path)

    # org.freedesktop.UDisks2.Filesystem
    @dbus.service.method(FILESYSTEM, in_signature="a{sv}", out_signature="")
    def Unmount(self, options):
        self.mock.note("Unmount %s" % self.path)
        fs = self.interfaces.get(FILESYSTEM)
        if fs is None or len(fs["MountPoints"]) == 0:
            raise dbus.exceptions.DBusException("Object is not mounted", name=UDISKS + ".Error.NotMounted")
        fs["MountPoints"] = dbus.Array([], signature="ay")
        self.PropertiesChanged(FILESYSTEM, {"MountPoints": fs["MountPoints"]}, [])

    @dbus.service.signal(PROPERTIES, signature="sa{sv}as")
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    def device(self):
        return bytes(self.interfaces[BLOCK]["Device"][:-1]).decode()


class Manager(dbus.service.Object):
    def __init__(self, mock, bus):
        super().__init__(bus, ROOT)
        self.mock = mock
        self.bus = bus
        self.unplugged = {}

    @dbus.service.method(OBJECT_MANAGER, in_signature="", out_signature="a{oa{sa{sv}}}")
    def GetManagedObjects(self):
        self.mock.note("GetManagedObjects")
        return {path: obj.interfaces for path, obj in self.mock.objects.items()}

    @dbus.service.signal(OBJECT_MANAGER, signature="oa{sa{sv}}")
    def InterfacesAdded(self, path, interfaces):
        pass

    @dbus.service.signal(OBJECT_MANAGER, signature="oas")
    def InterfacesRemoved(self, path, interfaces):
        pass

    @dbus.service.method(CONTROL, in_signature="s", out_signature="")
    def SetMode(self, mode):
        self.mock.mode = str(mode)

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def Unplug(self):
        for path in [p for p in self.mock.objects if "/sdx" in p or "Kingston" in p]:
            obj = self.mock.objects.pop(path)
            self.unplugged[path] = obj
            self.InterfacesRemoved(path, list(obj.interfaces.keys()))

    @dbus.service.method(CONTROL, in_signature="", out_signature="")
    def Plug(self):
        for path, obj in self.unplugged.items():
            self.mock.objects[path] = obj
            self.InterfacesAdded(path, obj.interfaces)
        self.unplugged = {}


def drive(vendor, model, bus_name, removable, size):
    return {DRIVE: {
        "Vendor": vendor, "Model": model, "ConnectionBus": bus_name,
        "Removable": dbus.Boolean(removable), "MediaRemovable": dbus.Boolean(removable),
        "MediaAvailable": dbus.Boolean(True), "Optical": dbus.Boolean(False),
        "MediaCompatibility": dbus.Array([], signature="s"), "Size": dbus.UInt64(size)}}


def block(device, drive_path, size, number, system, extra=None):
    props = {
        "Device": ay(device), "PreferredDevice": ay(device), "Drive": dbus.ObjectPath(drive_path),
        "Size": dbus.UInt64(size), "ReadOnly": dbus.Boolean(False), "HintSystem": dbus.Boolean(system),
        "DeviceNumber": dbus.UInt64(number), "IdUsage": "", "IdLabel": ""}
    props.update(extra or {})
    return props


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--stick", required=True)
    parser.add_argument("--system", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--mode", default="ok")
    args = parser.parse_args()

    DBusGMainLoop(set_as_default=True)
    bus = dbus.bus.BusConnection(args.address)
    mock = Mock(args)
    stick_size = os.path.getsize(args.stick)
    system_size = os.path.getsize(args.system)

    stick_drive = ROOT + "/drives/Kingston_DataTraveler_3_0_1234"
    system_drive = ROOT + "/drives/Samsung_SSD_980_5678"
    mock.objects[stick_drive] = MockObject(mock, bus, stick_drive,
                                           drive("Kingston", "DataTraveler 3.0", "usb", True, stick_size))
    mock.objects[system_drive] = MockObject(mock, bus, system_drive,
                                            drive("", "Samsung SSD 980", "", False, system_size))
    sdx = ROOT + "/block_devices/sdx"
    mock.objects[sdx] = MockObject(mock, bus, sdx, {BLOCK: block("/dev/sdx", stick_drive, stick_size, 0x8170,
                                                                 False)}, args.stick)
    sdx1 = ROOT + "/block_devices/sdx1"
    mock.objects[sdx1] = MockObject(mock, bus, sdx1, {
        BLOCK: block("/dev/sdx1", stick_drive, stick_size, 0x8171, False,
                     {"IdUsage": "filesystem", "IdType": "vfat", "IdLabel": "KINGSTON"}),
        PARTITION: {"Table": dbus.ObjectPath(sdx), "Number": dbus.UInt32(1)},
        FILESYSTEM: {"MountPoints": dbus.Array([ay("/media/test/KINGSTON")], signature="ay")}}, args.stick)
    nvme = ROOT + "/block_devices/nvme9n1"
    mock.objects[nvme] = MockObject(mock, bus, nvme, {BLOCK: block("/dev/nvme9n1", system_drive, system_size,
                                                                   0x10300, True)}, args.system)
    nvme1 = ROOT + "/block_devices/nvme9n1p1"
    mock.objects[nvme1] = MockObject(mock, bus, nvme1, {
        BLOCK: block("/dev/nvme9n1p1", system_drive, system_size, 0x10301, True,
                     {"IdUsage": "filesystem", "IdType": "ext4", "IdLabel": "root"}),
        PARTITION: {"Table": dbus.ObjectPath(nvme), "Number": dbus.UInt32(1)},
        FILESYSTEM: {"MountPoints": dbus.Array([ay("/")], signature="ay")}}, args.system)

    Manager(mock, bus)
    bus.request_name(UDISKS)
    print("ready", flush=True)
    GLib.MainLoop().run()


if __name__ == "__main__":
    sys.exit(main())
