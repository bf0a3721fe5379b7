"""The filters' C library (libvandrel_api.so, vandrel_api.dll), loaded with
ctypes from the plug-in's own folder. Nothing here knows of Krita."""

import ctypes
import os
import sys

RGB, RGBA, BGRA, CMYK, CMYKA, GRAY, GRAYA = 1, 2, 3, 4, 5, 6, 7
MARK_LINE, MARK_LEFT, MARK_CLOSED_GAP = 1, 2, 4
DONE, CANCELLED, NO_MEMORY, BAD_ARGUMENTS, FAILED, UNSUPPORTED_LAYOUT, NO_REGIONS = 0, 1, 2, 3, 4, 5, 6
API_VERSION = 4

_Progress = ctypes.CFUNCTYPE(ctypes.c_int32, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32)


class AutoFlatSettings(ctypes.Structure):
    _fields_ = [
        ("gap", ctypes.c_int32),
        ("minRegion", ctypes.c_int32),
        ("spotBlacks", ctypes.c_int32),
        ("keepLines", ctypes.c_int32),
        ("palette", ctypes.c_void_p),
        ("paletteCount", ctypes.c_int32),
        ("workers", ctypes.c_int32),
        ("dpi", ctypes.c_double),
        ("threshold", ctypes.c_int32),
    ]


class AutoFlatOutput(ctypes.Structure):
    _fields_ = [
        ("pixels", ctypes.c_void_p),
        ("layout", ctypes.c_int32),
        ("regions", ctypes.c_void_p),
        ("colours", ctypes.c_void_p),
        ("colourCapacity", ctypes.c_int32),
        ("regionCount", ctypes.c_int32),
        ("gap", ctypes.c_int32),
        ("message", ctypes.c_char * 256),
        ("marks", ctypes.c_void_p),
        ("meltDepth", ctypes.c_int32),
    ]


class Cancelled(Exception):
    """The user (or the progress callback) stopped the pass."""


class FilterError(Exception):
    """The library refused the page or failed; the message says which."""


class NoRegions(FilterError):
    """The page has nothing to fill: no line art, or nothing but line art."""


def library_path():
    # A developer may point at a build tree; an installed plug-in carries
    # its library in its own folder.
    override = os.environ.get("VANDREL_API_LIBRARY")
    if override:
        return override
    name = "vandrel_api.dll" if sys.platform.startswith("win") else "libvandrel_api.so"
    return os.path.join(os.path.dirname(os.path.abspath(__file__)), "lib", name)


_library = None


def library():
    global _library
    if _library is None:
        path = library_path()
        if not os.path.isfile(path):
            raise FilterError("the Vandrel library is missing from the plug-in: %s" % path)
        lib = ctypes.CDLL(path)
        lib.vandrel_api_version.restype = ctypes.c_int32
        if lib.vandrel_api_version() != API_VERSION:
            raise FilterError("the Vandrel library beside the plug-in is of another version: %s" % path)
        lib.vandrel_layout_channels.restype = ctypes.c_int32
        lib.vandrel_layout_channels.argtypes = [ctypes.c_int32]
        lib.vandrel_result_text.restype = ctypes.c_char_p
        lib.vandrel_result_text.argtypes = [ctypes.c_int32]
        lib.vandrel_flat.restype = ctypes.c_int32
        lib.vandrel_flat.argtypes = [ctypes.c_void_p, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                     ctypes.c_int32, ctypes.c_int32, ctypes.c_int32, _Progress, ctypes.c_void_p]
        if hasattr(lib, "vandrel_autoflat"):
            lib.vandrel_autoflat_defaults.restype = None
            lib.vandrel_autoflat_defaults.argtypes = [ctypes.POINTER(AutoFlatSettings)]
            lib.vandrel_autoflat.restype = ctypes.c_int32
            lib.vandrel_autoflat.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p, ctypes.c_int32,
                                             ctypes.c_int32, ctypes.c_int32, ctypes.POINTER(AutoFlatSettings),
                                             ctypes.POINTER(AutoFlatOutput), _Progress, ctypes.c_void_p]
            lib.vandrel_autoflat_like.restype = ctypes.c_int32
            lib.vandrel_autoflat_like.argtypes = [
                ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p, ctypes.c_int32, ctypes.c_void_p, ctypes.c_int32,
                ctypes.c_int32, ctypes.c_int32, ctypes.POINTER(AutoFlatSettings), ctypes.POINTER(AutoFlatOutput),
                _Progress, ctypes.c_void_p]
        _library = lib
    return _library


class _Pixels:
    """The address of a page's bytes for the duration of a call, without a
    copy where the buffer allows it (bytes, bytearray, Krita's QByteArray):
    a 36 MP page is 144 MB."""

    def __init__(self, buffer):
        self.view = None
        self.keep = buffer
        try:
            view = memoryview(buffer)
            if view.readonly:
                raise TypeError
            self.keep = (ctypes.c_char * view.nbytes).from_buffer(view)
            self.view = view
            self.address = ctypes.addressof(self.keep)
            self.size = view.nbytes
        except (TypeError, ValueError):
            self.keep = bytes(buffer)
            self.address = ctypes.cast(ctypes.c_char_p(self.keep), ctypes.c_void_p).value
            self.size = len(self.keep)

    def release(self):
        self.keep = None
        if self.view is not None:
            self.view.release()


def _require_size(lib, pixels, layout, width, height, what):
    # The library reads width x height pixels from the address it is given.
    if width < 1 or height < 1 or pixels.size != width * height * lib.vandrel_layout_channels(layout):
        raise FilterError("%s: %d bytes do not make a %d x %d page" % (what, pixels.size, width, height))


def _callback(progress):
    """A C callback over `progress(done, total) -> bool` (True: stop).
    An exception inside must not cross into C: it stops the pass instead."""
    failure = []

    def call(context, done, total):
        if progress is None:
            return 0
        try:
            return 1 if progress(done, total) else 0
        except Exception as error:  # reported after the pass returns
            failure.append(error)
            return 1

    return _Progress(call), failure


def _check(lib, result, failure, message=b""):
    if failure:
        raise failure[0]
    if result == CANCELLED:
        raise Cancelled()
    if result == NO_REGIONS:
        raise NoRegions((message or lib.vandrel_result_text(result)).decode(errors="replace"))
    if result != DONE:
        raise FilterError((message or lib.vandrel_result_text(result)).decode(errors="replace"))


def flat(pixels, width, height, layout, depth=256, white=False, progress=None):
    """Vandrel Pro on `pixels` (any buffer of bytes in `layout`); returns the
    flatted bytes as a bytearray."""
    lib = library()
    source = _Pixels(pixels)
    buffer = None
    try:
        _require_size(lib, source, layout, width, height, "the page")
        result = bytearray(source.size)
        buffer = (ctypes.c_char * len(result)).from_buffer(result)
        callback, failure = _callback(progress)
        code = lib.vandrel_flat(source.address, ctypes.addressof(buffer), width, height, layout, int(depth),
                                1 if white else 0, callback, None)
    finally:
        source.release()
        del buffer
    _check(lib, code, failure)
    return result


def has_auto_flats():
    return hasattr(library(), "vandrel_autoflat")


def auto_flat_defaults():
    settings = AutoFlatSettings()
    library().vandrel_autoflat_defaults(ctypes.byref(settings))
    return settings


def auto_flat(line_art, line_layout, width, height, settings, out_layout, hints=None, hints_layout=0,
              progress=None, palette=None, marks=None, earlier=None, earlier_layout=0):
    """Auto Flats; returns the flats as a bytearray in `out_layout` (of the
    line art's colour model) and the number of regions. `palette`: the library's palette entries
    (4 bytes a colour); `marks`: a bytearray of width x height to receive
    what each pixel was (MARK_*); `earlier`: the page's earlier flats in
    `earlier_layout`, whose colours the regions keep."""
    lib = library()
    if not has_auto_flats():
        raise FilterError("this Vandrel library has no Auto Flats")
    line = _Pixels(line_art)
    hint = _Pixels(hints) if hints is not None else None
    before = _Pixels(earlier) if earlier is not None else None
    buffer = mark_buffer = palette_buffer = None
    try:
        _require_size(lib, line, line_layout, width, height, "the line art")
        if hint:
            _require_size(lib, hint, hints_layout, width, height, "the hints")
        if before:
            _require_size(lib, before, earlier_layout, width, height, "the earlier flats")
        result = bytearray(width * height * lib.vandrel_layout_channels(out_layout))
        buffer = (ctypes.c_char * len(result)).from_buffer(result)
        output = AutoFlatOutput()
        output.pixels = ctypes.addressof(buffer)
        output.layout = out_layout
        if marks is not None:
            if len(marks) != width * height:
                raise FilterError("the marks buffer does not fit the page")
            mark_buffer = (ctypes.c_char * len(marks)).from_buffer(marks)
            output.marks = ctypes.addressof(mark_buffer)
        if palette:
            palette_buffer = ctypes.create_string_buffer(bytes(palette), len(palette))
            settings.palette = ctypes.addressof(palette_buffer)
            settings.paletteCount = len(palette) // 4
        callback, failure = _callback(progress)
        code = lib.vandrel_autoflat_like(line.address, line_layout, hint.address if hint else None, hints_layout,
                                         before.address if before else None, earlier_layout, width, height,
                                         ctypes.byref(settings), ctypes.byref(output), callback, None)
    finally:
        line.release()
        for page in (hint, before):
            if page:
                page.release()
        settings.palette, settings.paletteCount = None, 0
        del buffer, mark_buffer, palette_buffer
    _check(lib, code, failure, output.message)
    return result, output.regionCount
