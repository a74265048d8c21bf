#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Presses keys and moves or clicks the pointer on $DISPLAY through the XTest extension, so that
# the screenshot scripts can open a menu or show the player's controls without a desktop.
# Usage: x-input.py STEP...  where STEP is key:alt+f, move:X,Y, click:X,Y or sleep:SECONDS
import ctypes
import sys
import time

x11 = ctypes.CDLL('libX11.so.6')
xtst = ctypes.CDLL('libXtst.so.6')
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int, ctypes.c_int,
                                      ctypes.c_ulong]
xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

NAMES = {'alt': 'Alt_L', 'shift': 'Shift_L', 'ctrl': 'Control_L', 'esc': 'Escape'}


def keycode(display, name):
    code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(NAMES.get(name, name).encode()))
    if not code:
        sys.exit('x-input: no key ' + name)
    return code


def main():
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit('x-input: no display')
    for step in sys.argv[1:]:
        kind, _, value = step.partition(':')
        if kind == 'key':
            codes = [keycode(display, k) for k in value.split('+')]
            for c in codes:
                xtst.XTestFakeKeyEvent(display, c, 1, 0)
            for c in reversed(codes):
                xtst.XTestFakeKeyEvent(display, c, 0, 0)
        elif kind in ('move', 'click'):
            x, y = (int(v) for v in value.split(','))
            xtst.XTestFakeMotionEvent(display, -1, x, y, 0)
            if kind == 'click':
                xtst.XTestFakeButtonEvent(display, 1, 1, 0)
                xtst.XTestFakeButtonEvent(display, 1, 0, 0)
        elif kind == 'sleep':
            x11.XFlush(display)
            time.sleep(float(value))
        else:
            sys.exit('x-input: unknown step ' + step)
        x11.XFlush(display)


main()
