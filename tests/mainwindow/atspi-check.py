"""What a screen reader gets from the real program over AT-SPI, page by page.

Run under an X server and a session bus of its own:
    xvfb-run -a dbus-run-session -- /usr/bin/python3 atspi-check.py build/Kestrane/kestrane
The main window must be a frame named by its title; on every page, every focusable object must have a
name, and every push button a Press action. The pages are reached by pressing the page buttons through
AT-SPI, as a screen reader user would. Exits 77 (skipped) where pyatspi or the accessibility bus is
missing.
"""

import os
import subprocess
import sys
import tempfile
import time

SKIP = 77
TITLE = "Varnholt Kestrane"
# Each page, the page button that opens it and a control (role, name) only that page shows.
PAGES = [
    ("CDTOISO", "CD to ISO", ("combo box", "Source CD/DVD-ROM")),
    ("FILETOISO", "Data to ISO", ("push button", "Add File")),
    ("BURNISO", "Burn ISO page", ("combo box", "Recorder")),
]

try:
    import pyatspi
except ImportError:
    print("pyatspi is missing: skipped")
    sys.exit(SKIP)


def find_application(program, deadline):
    while time.monotonic() < deadline and program.poll() is None:
        try:
            for app in pyatspi.Registry.getDesktop(0):
                if app is not None and app.name and "kestrane" in app.name.lower():
                    for window in app:
                        if window is not None and window.getRoleName() == "frame":
                            return app
        except Exception:  # the registry comes up with the first client; ask again
            pass
        time.sleep(0.2)
    return None


def showing(node):
    """The objects on screen below `node`, the rows of lists and trees left to their list."""
    for child in node:
        if child is None or not child.getState().contains(pyatspi.STATE_SHOWING):
            continue
        yield child
        if child.getRoleName() not in ("table", "tree table", "list", "tree"):
            yield from showing(child)


def actions(node):
    try:
        action = node.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(i) for i in range(action.nActions)]


def faults_of(frame):
    faults = []
    for node in showing(frame):
        role = node.getRoleName()
        if node.getState().contains(pyatspi.STATE_FOCUSABLE) and not node.name.strip():
            faults.append(f"a focusable {role} without a name")
        if role == "push button" and "Press" not in actions(node):
            faults.append(f"push button {node.name!r} cannot be pressed: {actions(node)}")
    return faults


def named(frame, role, name):
    for node in showing(frame):
        if node.getRoleName() == role and node.name == name:
            return node
    return None


def wait_for(frame, role, name, deadline):
    while time.monotonic() < deadline:
        node = named(frame, role, name)
        if node is not None:
            return node
        time.sleep(0.1)
    return None


def main():
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} PROGRAM", file=sys.stderr)
        return 2
    if not os.environ.get("DBUS_SESSION_BUS_ADDRESS"):
        print("no session bus: skipped")
        return SKIP
    bus = subprocess.run(["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
                          "org.a11y.Bus.GetAddress"], capture_output=True)
    if bus.returncode != 0:
        print("no accessibility bus (at-spi2-core): skipped")
        return SKIP
    with tempfile.TemporaryDirectory() as home:
        env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "data"), QT_QPA_PLATFORM="xcb",
                   QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        program = subprocess.Popen([sys.argv[1], "-nosplash"], env=env)
        try:
            return check(program, time.monotonic() + 60)
        finally:
            program.terminate()
            try:
                program.wait(timeout=10)
            except subprocess.TimeoutExpired:
                program.kill()


def check(program, deadline):
    app = find_application(program, deadline)
    if app is None:
        print(f"the program never showed up on the accessibility bus (exit status {program.poll()})")
        return 1
    frames = [w for w in app if w is not None and w.getRoleName() == "frame"]
    failures = []
    if [f.name for f in frames] != [TITLE]:
        failures.append(f"main window frames: {[f.name for f in frames]}, expected [{TITLE!r}]")
    frame = frames[0]
    for page, button, mark in PAGES:
        opener = wait_for(frame, "push button", button, deadline)
        if opener is None:
            failures.append(f"{page}: no push button {button!r}")
            continue
        opener.queryAction().doAction(actions(opener).index("Press"))
        if wait_for(frame, *mark, deadline) is None:
            failures.append(f"{page}: pressing {button!r} did not show {mark!r}")
            continue
        failures += [f"{page}: {fault}" for fault in faults_of(frame)]
    for failure in failures:
        print(failure)
    print(f"{len(PAGES)} pages looked at over AT-SPI, {len(failures)} faults")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
