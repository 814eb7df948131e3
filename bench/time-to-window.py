#!/usr/bin/python3
# Starts a program and prints the seconds from its launch to the mapping of its first top-level window
# (one whose _NET_WM_PID is the program's) with a title that matches TITLE, a regular expression ("" for
# any), as the X server reports it (MapNotify on the root window); then ends the program. Exits 1 when
# no such window is mapped within the bound.
#   time-to-window.py TITLE BOUND-SECONDS PROGRAM [ARGUMENT...]
import os
import re
import select
import signal
import subprocess
import sys
import time

from Xlib import X, Xatom, display

title = re.compile(sys.argv[1])
bound = float(sys.argv[2])
command = sys.argv[3:]

d = display.Display()
root = d.screen().root
# Without a window manager, top-level windows are the root's children: their mapping is reported to
# a root listener for SubstructureNotify.
root.change_attributes(event_mask=X.SubstructureNotifyMask)
d.sync()
net_wm_name = d.intern_atom("_NET_WM_NAME")
net_wm_pid = d.intern_atom("_NET_WM_PID")
utf8 = d.intern_atom("UTF8_STRING")


def name_of(window):
    try:
        prop = window.get_full_property(net_wm_name, utf8)
        if prop and prop.value:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        prop = window.get_full_property(Xatom.WM_NAME, X.AnyPropertyType)
        if prop and prop.value:
            value = prop.value
            return value.decode("latin-1") if isinstance(value, bytes) else str(value)
    except Exception:
        pass
    return ""


def pid_of(window):
    try:
        prop = window.get_full_property(net_wm_pid, Xatom.CARDINAL)
        return prop.value[0] if prop and len(prop.value) else None
    except Exception:
        return None


start = time.monotonic()
child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
found = None
try:
    while found is None and time.monotonic() - start < bound:
        if child.poll() is not None:
            break
        if not d.pending_events():
            select.select([d.fileno()], [], [], 0.05)
        while d.pending_events():
            event = d.next_event()
            if event.type == X.MapNotify and pid_of(event.window) == child.pid and \
                    title.search(name_of(event.window)):
                found = time.monotonic() - start
                break
finally:
    try:
        os.killpg(child.pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    try:
        child.wait(timeout=10)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        child.wait()
if found is None:
    sys.exit(1)
print(f"{found:.3f}")
