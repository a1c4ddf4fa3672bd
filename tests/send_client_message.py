#!/usr/bin/env python3
"""Sends an X client message, the way a window manager or a pager asks a window for something.

    send_client_message.py WINDOW close        WM_PROTOCOLS / WM_DELETE_WINDOW to the window
    send_client_message.py WINDOW fullscreen   _NET_WM_STATE add _NET_WM_STATE_FULLSCREEN, sent
                                               to the root window for the window manager
"""
import ctypes
import sys

x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XOpenDisplay.argtypes = [ctypes.c_char_p]
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_void_p]
x.XFlush.argtypes = [ctypes.c_void_p]
x.XCloseDisplay.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("l", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]  # XEvent is 24 longs


if len(sys.argv) != 3 or sys.argv[2] not in ("close", "fullscreen"):
    sys.exit(__doc__)
display = x.XOpenDisplay(None)
if not display:
    sys.exit("cannot open the display")
atom = lambda name: x.XInternAtom(display, name, 0)
event = ClientMessage(type=33, window=int(sys.argv[1], 0), format=32)
if sys.argv[2] == "close":
    event.message_type = atom(b"WM_PROTOCOLS")
    event.l[0] = atom(b"WM_DELETE_WINDOW")
    target, mask = event.window, 0
else:
    # Action 1 (add), from an application (source 1).
    event.message_type = atom(b"_NET_WM_STATE")
    event.l[0] = 1
    event.l[1] = atom(b"_NET_WM_STATE_FULLSCREEN")
    event.l[3] = 1
    substructure_redirect_and_notify = (1 << 19) | (1 << 20)
    target, mask = x.XDefaultRootWindow(display), substructure_redirect_and_notify
if not x.XSendEvent(display, target, 0, mask, ctypes.byref(event)):
    sys.exit("XSendEvent failed")
x.XFlush(display)
x.XCloseDisplay(display)
