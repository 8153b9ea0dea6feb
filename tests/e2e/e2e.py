#!/usr/bin/env python3
"""End-to-end tests of the built Quenthar program in a virtual X server.

Starts its own Xvfb, starts the program as a user would, and drives it only
from outside: pointer moves, clicks and key presses go through xdotool (XTEST),
screenshots are read back from the X server, and the process's exit status is
checked. Expected pictures are computed from the built engine library.

usage: e2e.py PROGRAM_DIR OUTPUT_DIR
Exit status 0 when every case passes; screenshots of a failure are saved in
OUTPUT_DIR and their paths printed.
"""

import ctypes
import ctypes.util
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import time
import zlib

TITLE = "Quenthar by Brellow"
CLIENT = (656, 578)
PIC = (8, 8)  # the picture's top-left pixel in the client area
COLS, ROWS = 640, 480
UNITS = 15  # picture units per pixel
BUTTONS = {  # client-area rectangles (left, top, width, height)
    "draw": (8, 504, 121, 41),
    "restart": (136, 504, 121, 41),
    "sstop": (264, 504, 121, 41),
    "Command1": (400, 504, 121, 41),
    "Command2": (528, 504, 121, 41),
}
DEFAULT_VIEW = (-1.5, -1.5, 3.0, 3.0)
BLACK, RED = (0, 0, 0), (255, 0, 0)

PASS_TIMEOUT = 60.0  # seconds; bounds every wait, generous for a slow machine
SHORT_TIMEOUT = 15.0
SETTLE = 5.0  # seconds a finished-looking screen must stay unchanged to count as final


class Failure(Exception):
    pass


# --- the X server, through libX11 -------------------------------------------

class XImage(ctypes.Structure):
    # The leading fields of Xlib's XImage; only these are read.
    _fields_ = [(name, ctypes.c_int) for name in ("width", "height", "xoffset", "format")] + [
        ("data", ctypes.c_void_p)] + [
        (name, ctypes.c_int) for name in ("byte_order", "bitmap_unit", "bitmap_bit_order",
                                          "bitmap_pad", "depth", "bytes_per_line",
                                          "bits_per_pixel")]


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong),
                ("send_event", ctypes.c_int), ("display", ctypes.c_void_p),
                ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


class Display:
    def __init__(self, name):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        self.x.XDefaultRootWindow.restype = ctypes.c_ulong
        self.x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        self.x.XGetImage.restype = ctypes.POINTER(XImage)
        self.x.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                                     ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
        self.x.XFree.argtypes = [ctypes.c_void_p]
        self.x.XInternAtom.restype = ctypes.c_ulong
        self.x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
        self.x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                      ctypes.POINTER(XEvent)]
        self.x.XFlush.argtypes = [ctypes.c_void_p]
        self.x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.dpy = self.x.XOpenDisplay(name.encode())
        if not self.dpy:
            raise Failure(f"cannot open display {name}")
        self.root = self.x.XDefaultRootWindow(self.dpy)

    def close(self):
        self.x.XCloseDisplay(self.dpy)

    def grab(self, left, top, width, height):
        """What the screen shows in the rectangle, as a Shot."""
        image = self.x.XGetImage(self.dpy, self.root, left, top, width, height, ~0 & 0xFFFFFFFF, 2)
        if not image:
            raise Failure("XGetImage failed")
        try:
            im = image.contents
            if im.bits_per_pixel != 32 or im.byte_order != 0:
                raise Failure(f"unexpected screen format: {im.bits_per_pixel} bpp")
            raw = ctypes.string_at(im.data, im.bytes_per_line * height)
            stride = im.bytes_per_line
        finally:
            self.x.XFree(image.contents.data)
            self.x.XFree(image)
        # BGRX rows to packed RGB.
        rows = b"".join(raw[y * stride:y * stride + 4 * width] for y in range(height))
        rgb = bytearray(3 * width * height)
        rgb[0::3], rgb[1::3], rgb[2::3] = rows[2::4], rows[1::4], rows[0::4]
        return Shot(width, height, bytes(rgb))

    def request_close(self, window):
        """Sends the WM_DELETE_WINDOW request a window manager sends for its close control."""
        event = XEvent()
        event.xclient.type = 33  # ClientMessage
        event.xclient.window = window
        event.xclient.message_type = self.x.XInternAtom(self.dpy, b"WM_PROTOCOLS", 0)
        event.xclient.format = 32
        event.xclient.data[0] = self.x.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        event.xclient.data[1] = 0  # CurrentTime
        self.x.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(event))
        self.x.XFlush(self.dpy)


class Shot:
    """An RGB screenshot; pixel() and crop() take coordinates within it."""

    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return tuple(self.rgb[i:i + 3])

    def crop(self, left, top, width, height):
        line, start = 3 * self.width, 3 * (top * self.width + left)
        return Shot(width, height, b"".join(
            self.rgb[start + y * line:start + y * line + 3 * width] for y in range(height)))

    def png(self, path):
        def chunk(kind, data):
            return struct.pack(">I", len(data)) + kind + data + struct.pack(
                ">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
        line = 3 * self.width
        raw = b"".join(b"\0" + self.rgb[y * line:(y + 1) * line] for y in range(self.height))
        with open(path, "wb") as f:
            f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(
                ">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)) + chunk(
                b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


# --- expected pictures, from the engine library -----------------------------

class Engine:
    def __init__(self, path):
        self.fn = ctypes.CDLL(path).Engine
        self.fn.restype = ctypes.c_int32
        self.fn.argtypes = [ctypes.c_int32, ctypes.c_int32] + [ctypes.c_double] * 4

    def picture(self, view):
        """The RGB bytes of the whole picture of a view: v = n/4 rounded half
        to even (Python's round), limited to 255; R = G = v, B = 0."""
        left, top, width, height = view
        sx, sy = COLS / width, ROWS / height
        ramp = [bytes((min(round(n / 4), 255),) * 2 + (0,)) for n in range(1026)]
        fn = self.fn
        return b"".join(ramp[fn(c, r, sx, sy, left, top)] for r in range(ROWS) for c in range(COLS))


def zoom(view, first, second):
    """The view after zooming by corners picked at picture pixels first and second."""
    (x1, y1), (x2, y2) = ((p[0] * UNITS, p[1] * UNITS) for p in (first, second))
    x1, x2 = min(x1, x2), max(x1, x2)
    y1, y2 = min(y1, y2), max(y1, y2)
    left, top, width, height = view
    w, h = float(COLS * UNITS), float(ROWS * UNITS)
    return (left + x1 / w * width, top + y1 / h * height,
            (x2 - x1) / w * width, (y2 - y1) / h * height)


def differences(actual, expected, allow_origin_black=False):
    """Pixels of the picture that differ: a list of (col, row, actual, expected).
    The last pixel of a pass, (0, 0), is shown only at the next repaint, so it
    may still hold the mesh's black when allow_origin_black is set."""
    if actual.rgb == expected:
        return []
    out, line = [], 3 * COLS
    for r in range(ROWS):
        a, e = actual.rgb[r * line:(r + 1) * line], expected[r * line:(r + 1) * line]
        if a == e:
            continue
        for c in range(COLS):
            pa, pe = tuple(a[3 * c:3 * c + 3]), tuple(e[3 * c:3 * c + 3])
            if pa != pe and not (allow_origin_black and (c, r) == (0, 0) and pa == BLACK):
                out.append((c, r, pa, pe))
    return out


# --- the program under test -------------------------------------------------

class App:
    """One run of the program, watched and driven through the X server."""

    def __init__(self, suite, program, cwd):
        self.suite, self.d = suite, suite.display
        env = dict(suite.env, QT_QPA_PLATFORM="xcb")
        env.pop("LD_LIBRARY_PATH", None)  # the program must find its engine by itself
        self.proc = subprocess.Popen([program], cwd=cwd, env=env)
        self.window = self.wait(lambda: self.find_window(TITLE), SHORT_TIMEOUT,
                                    "the window to appear", shots=False)
        geometry = self.xdotool("getwindowgeometry", "--shell", str(self.window))
        values = dict(line.split("=", 1) for line in geometry.split())
        self.origin = (int(values["X"]), int(values["Y"]))
        self.size = (int(values["WIDTH"]), int(values["HEIGHT"]))

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=self.suite.env, check=True,
                              capture_output=True, text=True).stdout.strip()

    def find_window(self, title):
        found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{title}$"],
                               env=self.suite.env, capture_output=True, text=True).stdout.split()
        return found[0] if found else None

    def screen(self):
        return self.d.grab(*self.origin, *CLIENT)

    def picture(self, shot=None):
        return (shot or self.screen()).crop(*PIC, COLS, ROWS)

    def wait(self, condition, timeout, what, shots=True):
        """Polls condition until it returns a true value, which it returns;
        fails after timeout seconds."""
        end = time.monotonic() + timeout
        while True:
            value = condition()
            if value:
                return value
            if self.proc.poll() is not None:
                raise Failure(f"the program ended (status {self.proc.returncode}) while waiting "
                              f"for {what}")
            if time.monotonic() > end:
                if shots:
                    self.suite.save(self.screen(), "timeout")
                raise Failure(f"timed out after {timeout:.0f} s waiting for {what}")
            time.sleep(0.03)

    # Input, as a user gives it: the pointer moves, then buttons and keys.
    def move(self, x, y):
        self.xdotool("mousemove", str(self.origin[0] + x), str(self.origin[1] + y))

    def click(self, x, y, button=1):
        self.move(x, y)
        self.xdotool("click", str(button))

    def click_picture(self, col, row, button=1):
        self.click(PIC[0] + col, PIC[1] + row, button)

    def press(self, name):
        left, top, width, height = BUTTONS[name]
        self.click(left + width // 2, top + height // 2)

    def key(self, window, keysym):
        # Keys go to the focused window; with no window manager nobody gives
        # the box focus, so do what a window manager would.
        self.xdotool("windowfocus", "--sync", window)
        self.xdotool("key", keysym)

    # What the screen shows.
    def enabled(self, shot, name):
        """Whether a button looks enabled: its caption is drawn in dark text."""
        left, top, width, height = BUTTONS[name]
        caption = shot.crop(left + 10, top + 12, width - 20, height - 24).rgb
        return min(caption) < 60

    def buttons(self, shot=None):
        shot = shot or self.screen()
        return tuple(self.enabled(shot, n) for n in ("draw", "restart", "sstop"))

    def idle(self, shot=None):
        return self.buttons(shot) == (True, True, False)

    def drawing(self, shot=None):
        return self.buttons(shot) == (False, False, True)

    def expect_picture(self, expected, what):
        """Waits for a pass to end with the expected picture and idle buttons.
        A screen that shows idle buttons and another picture, unchanged for
        SETTLE seconds, fails without waiting for the time bound."""
        last = {"shot": None, "since": time.monotonic()}

        def done():
            shot = self.screen()
            if last["shot"] is None or shot.rgb != last["shot"].rgb:
                last["since"] = time.monotonic()
            last["shot"] = shot
            if not self.idle(shot):
                return False
            return not differences(self.picture(shot), expected, True) or (
                time.monotonic() - last["since"] > SETTLE and "settled")

        try:
            result = self.wait(done, PASS_TIMEOUT, what, shots=False)
        except Failure as failure:
            result = str(failure)
        if result is True:
            return
        shot = last["shot"]
        wrong = differences(self.picture(shot), expected, True)
        self.suite.save(shot, "picture")
        raise Failure(f"{what}: {'the pass ended' if result == 'settled' else result}, with "
                      f"buttons (draw, restart, sstop) enabled = {self.buttons(shot)} and "
                      f"{len(wrong)} pixels not as expected; the first (col, row, shown, "
                      f"expected): {wrong[:4]}")

    def exited(self, timeout, what):
        try:
            return self.proc.wait(timeout)
        except subprocess.TimeoutExpired:
            self.suite.save(self.screen(), "not-ended")
            self.proc.kill()
            raise Failure(f"the program did not end within {timeout:.0f} s after {what}")

    def end(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


# --- the cases --------------------------------------------------------------

def check(condition, message):
    if not condition:
        raise Failure(message)


def with_band(picture, a, b):
    """The picture with the red outline of the rectangle between pixels a and b."""
    (x1, x2), (y1, y2) = sorted((a[0], b[0])), sorted((a[1], b[1]))
    out = bytearray(picture)
    for x in range(x1, x2 + 1):
        for y in (y1, y2):
            out[3 * (y * COLS + x):3 * (y * COLS + x) + 3] = bytes(RED)
    for y in range(y1, y2 + 1):
        for x in (x1, x2):
            out[3 * (y * COLS + x):3 * (y * COLS + x) + 3] = bytes(RED)
    return bytes(out)


# Zoom corners, in picture pixels. The first zoom picks the bottom-right
# corner first, so both corner pairs need ordering; had a product been formed
# before its quotient, each of its four view values would come out different,
# and each would change hundreds of pixels. The heavy zoom is a 2 x 2 pixel
# area of the default view with counts near 1025 all over: its pass takes over
# a second.
ZOOM = ((411, 337), (294, 131))
HEAVY = ((342, 235), (344, 237))


def check_startup(app):
    title = app.xdotool("getwindowname", app.window)
    check(title == TITLE, f"window title {title!r}")
    check(app.size == CLIENT, f"client area {app.size}, expected {CLIENT}")
    shot = app.wait(lambda: (lambda s: s if app.idle(s) else None)(app.screen()), SHORT_TIMEOUT,
                    "the buttons to show (draw, restart enabled, sstop disabled)")
    check(app.picture(shot).rgb == bytes(3 * COLS * ROWS), "the picture is not all black")
    check(all(shot.pixel(x, 300) != BLACK for x in (2, 653)) and
          all(shot.pixel(300, y) != BLACK for y in (2, 496)),
          "the window's background around the picture is black")


def hold_still(app, seconds, what):
    """The client area shows no change for the given time."""
    first = app.screen()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        time.sleep(0.05)
        now = app.screen()
        if now.rgb != first.rgb:
            app.suite.save(first, "before-change")
            app.suite.save(now, "after-change")
            raise Failure(f"the window changed while {what}")
    return first


def run_main(suite):
    app = App(suite, suite.program, suite.program_dir)
    try:
        suite.step("start-up", check_startup, app)

        default = suite.engine.picture(DEFAULT_VIEW)

        def full_pass():
            app.press("draw")
            app.expect_picture(default, "a full pass of the default view")
        suite.step("full pass of the default view", full_pass)

        def zoom_in():
            app.click_picture(*ZOOM[0])
            app.move(PIC[0] + ZOOM[1][0], PIC[1] + ZOOM[1][1])
            band = with_band(default, *ZOOM)
            app.wait(lambda: app.picture().rgb == band, SHORT_TIMEOUT,
                     "the rubber band over the default picture")
            app.click_picture(*ZOOM[1])
            view = zoom(DEFAULT_VIEW, *ZOOM)
            app.expect_picture(suite.engine.picture(view), f"the zoomed view {view}")
            return view
        view = suite.step("zoom by two clicks", zoom_in)

        def cancel():
            zoomed = suite.engine.picture(view)
            a, b = (100, 80), (300, 260)
            app.click_picture(*a)
            app.move(PIC[0] + b[0], PIC[1] + b[1])
            band = with_band(zoomed, a, b)
            app.wait(lambda: app.picture().rgb == band, SHORT_TIMEOUT, "the rubber band")
            app.click_picture(*b, button=3)
            app.wait(lambda: app.picture().rgb == zoomed, SHORT_TIMEOUT,
                     "the picture without the band")
            hold_still(app, 0.5, "nothing should happen after a cancel")
        suite.step("cancel by the right button", cancel)

        heavy_view = zoom(DEFAULT_VIEW, *HEAVY)
        heavy = suite.engine.picture(heavy_view)

        def stop():
            app.press("restart")
            app.expect_picture(default, "the default view after restart")
            app.click_picture(*HEAVY[0])
            app.click_picture(*HEAVY[1])
            app.wait(app.drawing, SHORT_TIMEOUT, "the pass of the heavy view to start")
            app.press("sstop")
            app.wait(app.idle, SHORT_TIMEOUT, "the buttons to come back after a stop")
            stopped = hold_still(app, 1.0, "the pass should be stopped")
            check(differences(app.picture(stopped), heavy, True),
                  "the pass drew the whole picture in spite of the stop")
        suite.step("stop during a pass", stop)

        def about():
            app.press("draw")
            app.wait(app.drawing, SHORT_TIMEOUT, "a pass to start")
            app.press("Command1")
            box = app.wait(lambda: app.find_window("O programu"), SHORT_TIMEOUT, "the About box")
            held = hold_still(app, 1.0, "the About box is open")
            check(app.drawing(held), "the buttons left their drawing state under the About box")
            check(differences(app.picture(held), heavy),
                  "the pass ended before the About box was open")
            app.key(box, "Return")
            app.wait(lambda: not app.find_window("O programu"), SHORT_TIMEOUT,
                     "the About box to close")
            app.expect_picture(heavy, "the pass to complete after the About box")
        suite.step("About box holds a pass", about)

        def exit_during_pass():
            app.press("draw")
            app.wait(app.drawing, SHORT_TIMEOUT, "a pass to start")
            app.press("Command2")
            status = app.exited(SHORT_TIMEOUT, "Izhod")
            check(status == 0, f"exit status {status} after Izhod")
        suite.step("Izhod during a pass", exit_during_pass)
    finally:
        app.end()


def run_close(suite):
    app = App(suite, suite.program, suite.program_dir)
    try:
        def close():
            app.press("draw")
            app.expect_picture(suite.engine.picture(DEFAULT_VIEW), "a pass of the default view")
            app.click_picture(*HEAVY[0])
            app.click_picture(*HEAVY[1])
            app.wait(app.drawing, SHORT_TIMEOUT, "the pass of the heavy view to start")
            suite.display.request_close(int(app.window))
            status = app.exited(SHORT_TIMEOUT, "the close request")
            check(status == 0, f"exit status {status} after the close request")
        suite.step("closing the window during a pass", close)
    finally:
        app.end()


def run_without_engine(suite):
    with tempfile.TemporaryDirectory() as folder:
        program = os.path.join(folder, os.path.basename(suite.program))
        shutil.copy2(suite.program, program)
        app = App(suite, program, folder)
        try:
            def about_box():
                app.press("Command1")
                box = app.wait(lambda: app.find_window("O programu"), SHORT_TIMEOUT,
                               "the About box")
                app.key(box, "Return")
                app.wait(lambda: not app.find_window("O programu"), SHORT_TIMEOUT,
                         "the About box to close")

            def no_engine():
                check_startup(app)
                about_box()
                app.press("draw")
                box = app.wait(lambda: app.find_window("Napaka"), SHORT_TIMEOUT,
                               "the error box")
                app.key(box, "Return")
                app.wait(lambda: not app.find_window("Napaka"), SHORT_TIMEOUT,
                         "the error box to close")
                app.wait(app.idle, SHORT_TIMEOUT, "the buttons to come back after the error")
                about_box()
                app.press("Command2")
                status = app.exited(SHORT_TIMEOUT, "Izhod")
                check(status == 0, f"exit status {status} after Izhod")
            suite.step("engine library missing", no_engine)
        finally:
            app.end()


class Suite:
    def __init__(self, program_dir, output_dir):
        self.program_dir = os.path.abspath(program_dir)
        self.program = os.path.join(self.program_dir, "Quenthar")
        self.output_dir = output_dir
        self.engine = Engine(os.path.join(self.program_dir, "libengine.so"))
        self.failures = 0
        self.saved = 0
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()  # Xvfb writes its display number when ready
        if not number:
            raise Failure("Xvfb did not start")
        self.display_name = f":{number}"
        self.runtime = tempfile.TemporaryDirectory()
        self.env = dict(os.environ, DISPLAY=self.display_name, XDG_RUNTIME_DIR=self.runtime.name)
        self.display = Display(self.display_name)

    def close(self):
        self.display.close()
        self.xvfb.terminate()
        self.xvfb.wait()
        self.runtime.cleanup()

    def save(self, shot, name):
        os.makedirs(self.output_dir, exist_ok=True)
        self.saved += 1
        path = os.path.join(self.output_dir, f"{self.saved:02d}-{name}.png")
        shot.png(path)
        print(f"    screenshot: {path}")

    def step(self, name, function, *args):
        start = time.monotonic()
        try:
            result = function(*args)
        except Failure as failure:
            self.failures += 1
            print(f"FAIL {name}: {failure}", flush=True)
            raise
        print(f"ok   {name} ({time.monotonic() - start:.1f} s)", flush=True)
        return result


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-3], file=sys.stderr)
        return 2
    shutil.rmtree(sys.argv[2], ignore_errors=True)
    suite = Suite(*sys.argv[1:])
    try:
        for run in (run_main, run_close, run_without_engine):
            try:
                run(suite)
            except Failure:
                pass  # reported by the step; the next run starts afresh
    finally:
        suite.close()
    print("all passed" if not suite.failures else f"{suite.failures} failed")
    return 1 if suite.failures else 0


if __name__ == "__main__":
    sys.exit(main())
