#!/usr/bin/python3
# Pings a window the way a desktop decides that a program "is not responding": a _NET_WM_PING
# client message every 10 ms, answered by the program's UI thread to the root window. Runs until
# SIGTERM, then prints the longest silence (the longest time without an answer while pings were
# out, and when into the phase it began) for each phase named in the marks file ("NAME EPOCH-SECONDS" lines, each phase lasting until
# the next mark).
#   window-ping.py WINDOW-ID MARKS-FILE
import select
import signal
import sys
import time

from Xlib import X, display
from Xlib.protocol import event

window_id = int(sys.argv[1], 0)
marks_file = sys.argv[2]
d = display.Display()
root = d.screen().root
# Qt sends its answer to the root window for StructureNotify and SubstructureRedirect listeners.
root.change_attributes(event_mask=X.StructureNotifyMask)
window = d.create_resource_object("window", window_id)
protocols = d.intern_atom("WM_PROTOCOLS")
ping = d.intern_atom("_NET_WM_PING")

answers = []  # times of the answers
stop = False


def ended(*_):
    global stop
    stop = True


signal.signal(signal.SIGTERM, ended)
signal.signal(signal.SIGINT, ended)
start = time.time()
next_ping = start
serial = 0
while not stop:
    now = time.time()
    if now >= next_ping:
        serial += 1
        window.send_event(event.ClientMessage(window=window, client_type=protocols,
                                              data=(32, [ping, serial, window_id, 0, 0])),
                          event_mask=X.NoEventMask)
        d.flush()
        next_ping = now + 0.010
    readable, _, _ = select.select([d.fileno()], [], [], max(0.0, next_ping - time.time()))
    while d.pending_events():
        e = d.next_event()
        if e.type == X.ClientMessage and e.client_type == protocols and e.data[1][0] == ping:
            answers.append(time.time())
end = time.time()

marks = []
with open(marks_file) as f:
    for line in f:
        name, at = line.split()
        marks.append((name, float(at)))
marks.append(("end", end))
for (name, begin), (_, finish) in zip(marks, marks[1:]):
    inside = [t for t in answers if begin <= t <= finish]
    edges = [begin] + inside + [finish]
    longest, since = max((b - a, a) for a, b in zip(edges, edges[1:]))
    print(f"{name}: {finish - begin:.2f} s, {len(inside)} answers, longest silence {longest * 1000:.0f} ms "
          f"(goal 100) from +{since - begin:.2f} s")
