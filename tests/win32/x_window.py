"""Windows of an X display as the tests look at them: found by name (with
xwininfo), mapped or not, and the colours of their pixels (libX11 through
ctypes)."""

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
