"""Windows of an X display as the tests look at them: found by name (with
xwininfo), mapped or not, where they are and the colours of their pixels; and
the pointer and keyboard of a user, as real input events through the server's
XTest extension (libX11 and libXtst through ctypes)."""

import ctypes
import ctypes.util
import re
import subprocess

_x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XGetImage.restype = ctypes.c_void_p
_x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                           ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
_x11.XGetPixel.restype = ctypes.c_ulong
_x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
_x11.XDestroyImage.argtypes = [ctypes.c_void_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XFlush.argtypes = [ctypes.c_void_p]
_x11.XKeysymToKeycode.restype = ctypes.c_ubyte
_x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
_x11.XGetInputFocus.argtypes = [ctypes.c_void_p, ctypes.POINTER(ctypes.c_ulong),
                                ctypes.POINTER(ctypes.c_int)]
_xtst = ctypes.CDLL(ctypes.util.find_library("Xtst"))
_xtst.XTestFakeMotionEvent.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int,
                                       ctypes.c_int, ctypes.c_ulong]
_xtst.XTestFakeButtonEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                       ctypes.c_ulong]
_xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int,
                                    ctypes.c_ulong]
# A window gone between two looks must not end the test program.
_IGNORE = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
_x11.XSetErrorHandler(ctypes.cast(_IGNORE, ctypes.c_void_p))
Z_PIXMAP = 2


class Display:
    def __init__(self, name):
        self.name = name
        self.handle = _x11.XOpenDisplay(name.encode())
        if not self.handle:
            raise RuntimeError(f"cannot open display {name}")

    def close(self):
        _x11.XCloseDisplay(self.handle)

    def _xwininfo(self, *words):
        return subprocess.run(["xwininfo", "-display", self.name, *words], capture_output=True,
                              text=True, timeout=10).stdout

    def windows(self, title):
        """Ids of the windows called title, a window manager's frames looked into."""
        tree = self._xwininfo("-root", "-tree")
        return [int(m.group(1), 16) for m in
                re.finditer(r'^\s*(0x[0-9a-f]+) "' + re.escape(title) + '"', tree, re.M)]

    def shown(self, title):
        """(id, width, height) of a mapped window called title, or None."""
        for window in self.windows(title):
            info = self._xwininfo("-id", hex(window))
            if "IsViewable" in info:
                size = [int(re.search(rf"{k}: (\d+)", info).group(1)) for k in ("Width", "Height")]
                return (window, *size)
        return None

    def origin(self, window):
        """(x, y) of a window's upper-left corner on the screen."""
        info = self._xwininfo("-id", hex(window))
        return tuple(int(re.search(rf"Absolute upper-left {k}: +(-?\d+)", info).group(1))
                     for k in "XY")

    def click(self, x, y, button=1):
        """Moves the pointer to (x, y) and presses and releases a button
        (1 left, 3 right), a moment apart as a hand would."""
        _xtst.XTestFakeMotionEvent(self.handle, -1, x, y, 0)
        _xtst.XTestFakeButtonEvent(self.handle, button, True, 0)
        _xtst.XTestFakeButtonEvent(self.handle, button, False, 50)
        _x11.XFlush(self.handle)

    def key(self, keysym):
        code = _x11.XKeysymToKeycode(self.handle, keysym)
        _xtst.XTestFakeKeyEvent(self.handle, code, True, 0)
        _xtst.XTestFakeKeyEvent(self.handle, code, False, 50)
        _x11.XFlush(self.handle)

    def focus(self):
        """The window that has the keyboard focus."""
        window, revert = ctypes.c_ulong(), ctypes.c_int()
        _x11.XGetInputFocus(self.handle, ctypes.byref(window), ctypes.byref(revert))
        return window.value

    def pixels(self, x, y, width, height):
        """The screen's pixels in that rectangle, row by row, as 0xRRGGBB."""
        root = _x11.XDefaultRootWindow(self.handle)
        image = _x11.XGetImage(self.handle, root, x, y, width, height, 0xFFFFFFFF, Z_PIXMAP)
        if not image:
            return []
        pixels = [_x11.XGetPixel(image, i, j) & 0xFFFFFF
                  for j in range(height) for i in range(width)]
        _x11.XDestroyImage(image)
        return pixels

    def colours(self, shown):
        """{(r, g, b): pixel count} of a window as shown() gives it (24-bit visuals)."""
        window, width, height = shown
        image = _x11.XGetImage(self.handle, window, 0, 0, width, height, 0xFFFFFFFF, Z_PIXMAP)
        if not image:
            return {}
        counts = {}
        for y in range(height):
            for x in range(width):
                pixel = _x11.XGetPixel(image, x, y)
                colour = (pixel >> 16 & 255, pixel >> 8 & 255, pixel & 255)
                counts[colour] = counts.get(colour, 0) + 1
        _x11.XDestroyImage(image)
        return counts
