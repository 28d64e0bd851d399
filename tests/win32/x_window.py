"""Top-level windows of an X display as the tests look at them, through
libX11 itself (ctypes): found by name, mapped or not, and the colours of
their pixels."""

import ctypes
import ctypes.util

_x11 = ctypes.CDLL(ctypes.util.find_library("X11"))
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                            ctypes.POINTER(ctypes.c_ulong),
                            ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                            ctypes.POINTER(ctypes.c_uint)]
_x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
_x11.XFree.argtypes = [ctypes.c_void_p]
_x11.XGetImage.restype = ctypes.c_void_p
_x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                           ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
_x11.XGetPixel.restype = ctypes.c_ulong
_x11.XGetPixel.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_int]
_x11.XDestroyImage.argtypes = [ctypes.c_void_p]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]


class _Attributes(ctypes.Structure):
    _fields_ = [("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int),
                ("height", ctypes.c_int), ("border_width", ctypes.c_int),
                ("depth", ctypes.c_int), ("visual", ctypes.c_void_p), ("root", ctypes.c_ulong),
                ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
                ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
                ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
                ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong),
                ("map_installed", ctypes.c_int), ("map_state", ctypes.c_int),
                ("all_event_masks", ctypes.c_long), ("your_event_mask", ctypes.c_long),
                ("do_not_propagate_mask", ctypes.c_long), ("override_redirect", ctypes.c_int),
                ("screen", ctypes.c_void_p)]


_x11.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                      ctypes.POINTER(_Attributes)]
# A window gone between two calls must not end the test program.
_IGNORE_ERRORS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)
_x11.XSetErrorHandler(ctypes.cast(_IGNORE_ERRORS, ctypes.c_void_p))
IS_VIEWABLE = 2


class Display:
    def __init__(self, name):
        self.handle = _x11.XOpenDisplay(name.encode())
        if not self.handle:
            raise RuntimeError(f"cannot open display {name}")

    def close(self):
        _x11.XCloseDisplay(self.handle)

    def windows(self, name, parent=None, depth=3):
        """The windows called name: top-level ones, and those a window
        manager's frames hold."""
        if parent is None:
            parent = _x11.XDefaultRootWindow(self.handle)
        root, up = ctypes.c_ulong(), ctypes.c_ulong()
        children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not _x11.XQueryTree(self.handle, parent, ctypes.byref(root), ctypes.byref(up),
                               ctypes.byref(children), ctypes.byref(count)):
            return []
        kids = [children[i] for i in range(count.value)]
        if children:
            _x11.XFree(children)
        found = []
        for window in kids:
            title = ctypes.c_char_p()
            named = _x11.XFetchName(self.handle, window, ctypes.byref(title)) and title.value
            if named:
                if title.value.decode("latin-1") == name:
                    found.append(window)
                _x11.XFree(title)
            elif depth > 1:
                found += self.windows(name, window, depth - 1)
        return found

    def shown(self, name):
        """Whether a window called name is mapped and viewable."""
        for window in self.windows(name):
            attributes = _Attributes()
            if (_x11.XGetWindowAttributes(self.handle, window, ctypes.byref(attributes)) and
                    attributes.map_state == IS_VIEWABLE):
                return window
        return None

    def colours(self, window):
        """{(r, g, b): pixel count} of a viewable window (24-bit visuals)."""
        attributes = _Attributes()
        if not _x11.XGetWindowAttributes(self.handle, window, ctypes.byref(attributes)):
            return {}
        image = _x11.XGetImage(self.handle, window, 0, 0, attributes.width, attributes.height,
                               0xFFFFFFFF, 2)  # ZPixmap
        if not image:
            return {}
        counts = {}
        for y in range(attributes.height):
            for x in range(attributes.width):
                pixel = _x11.XGetPixel(image, x, y)
                colour = (pixel >> 16 & 255, pixel >> 8 & 255, pixel & 255)
                counts[colour] = counts.get(colour, 0) + 1
        _x11.XDestroyImage(image)
        return counts
