"""Finding and driving a Wine program's top-level windows from Linux, on the X display.

Under Wine each top-level window is an X window whose _NET_WM_PID is the Wine process's own
Unix process id, so a window is found by the id of the process that was started; its X
geometry is the client area (on a bare X server Wine draws no frame). Searching and clicking
go through xdotool; closing sends WM_DELETE_WINDOW, which Wine turns into the window's close
command, so the program ends as after a click on its close box.
"""

import ctypes
import os
import re
import subprocess
import time


def _xdotool(*args):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    return result.stdout if result.returncode == 0 else ""


def find_window(pid, title_pattern, timeout=15.0, poll=0.02):
    """The first visible window of the process (any process for None) whose title matches,
    or None after timeout."""
    deadline = time.monotonic() + timeout
    owner = ["--pid", pid] if pid is not None else []
    while True:
        found = _xdotool("search", "--onlyvisible", *owner, "--name", title_pattern).split()
        if found:
            return int(found[0])
        if time.monotonic() >= deadline:
            return None
        time.sleep(poll)


def title(window):
    return _xdotool("getwindowname", window).rstrip("\n")


def geometry(window):
    """(x, y, width, height) of the window on the screen."""
    text = _xdotool("getwindowgeometry", "--shell", window)
    values = dict(re.findall(r"^(\w+)=(-?\d+)$", text, re.M))
    return tuple(int(values[k]) for k in ("X", "Y", "WIDTH", "HEIGHT"))


def click(window, x, y):
    """A left click at (x, y) of the window's client area. The pointer then goes to the
    screen's corner: left over a window, it keeps Wine's mouse tracking timer running, a
    load that no user leaves there for long."""
    _xdotool("mousemove", "--window", window, x, y, "click", "1", "mousemove", "0", "0")


class _ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5)]


class _XEvent(ctypes.Union):
    _fields_ = [("xclient", _ClientMessage), ("pad", ctypes.c_long * 24)]


def close(window):
    """Asks the window to close (WM_DELETE_WINDOW); True when the request went out."""
    x11 = ctypes.CDLL("libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                               ctypes.POINTER(_XEvent)]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(os.environ.get("DISPLAY", "").encode() or None)
    if not display:
        return False
    try:
        event = _XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        sent = x11.XSendEvent(display, window, 0, 0, ctypes.byref(event)) != 0
        x11.XFlush(display)
        return sent
    finally:
        x11.XCloseDisplay(display)
