#!/usr/bin/env python3
"""End-to-end tests of the built program, in a virtual X server of their own.

The program is started as a user starts it and driven only from outside: the
pointer and keys through xdotool (XTEST), screenshots read back from the X
server, its exit status, and the clipboard through xclip, kept after the
program ends by a clipboard manager of the suite's own (clipboardkeeper.py).
Expected pictures are computed with the built libengine.so. Screenshots of a
failure are saved as PPM files.

With --wayland, one more run starts the program on Wayland: weston runs as a
window of the same X server (its X11 backend), so xdotool still drives it and
the screen still shows it.

usage: e2e.py [--wayland] PROGRAM_DIR SCREENSHOT_DIR
"""
import ctypes
import ctypes.util
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zlib
from ctypes import POINTER, c_char_p, c_int, c_long, c_uint, c_ulong, c_void_p

TITLE = "Quenthar by Brellow"
CLIENT, PIC, COLS, ROWS, UNITS = (656, 578), (8, 8), 640, 480, 15
BUTTON_LEFT = {"draw": 8, "restart": 136, "sstop": 264, "Command1": 400, "Command2": 528}
BUTTON_TOP, BUTTON_SIZE = 504, (121, 41)
DEFAULT_VIEW = (-1.5, -1.5, 3.0, 3.0)
LONG, SHORT, SETTLE = 60.0, 15.0, 5.0  # bounds of the waits, in seconds

# Zoom corners, in picture pixels. The first zoom picks the bottom-right
# corner first, so both corner pairs need ordering; had a product been formed
# before its quotient, each of its four view values would come out different,
# and each would change hundreds of pixels. The heavy zoom is a 2 x 2 pixel
# area of the default view with counts near 1025 all over: its pass takes over
# a second.
ZOOM = ((411, 337), (294, 131))
HEAVY = ((342, 235), (344, 237))
# The picture's keyboard cursor starts at its centre.
CURSOR = (320, 240)
# weston's output, a window at the top left of the 1024 x 768 X screen: the
# pointer can leave it, which weston needs to learn where the pointer is. Qt
# draws the window's title bar there; its maximize button lies 37 pixels left
# of the client area's right edge and 15 above its top.
OUTPUT = (1000, 740)
MAXIMIZE = (-37, -15)


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class XImage(ctypes.Structure):  # the leading fields of Xlib's XImage
    _fields_ = [(n, c_int) for n in ("width", "height", "xoffset", "format")] + [
        ("data", c_void_p)] + [(n, c_int) for n in (
            "byte_order", "unit", "bit_order", "pad", "depth", "bytes_per_line", "bpp")]


class XClientMessage(ctypes.Structure):  # padded to the size of an XEvent
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("window", c_ulong), ("message_type", c_ulong),
                ("format", c_int), ("data", c_long * 5), ("pad", c_long * 12)]


class Display:
    """The X server through libX11: screenshots and the close request."""

    def __init__(self, name):
        self.x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        for function, result, arguments in (
                ("XOpenDisplay", c_void_p, [c_char_p]),
                ("XDefaultRootWindow", c_ulong, [c_void_p]),
                ("XGetImage", POINTER(XImage),
                 [c_void_p, c_ulong, c_int, c_int, c_uint, c_uint, c_ulong, c_int]),
                ("XInternAtom", c_ulong, [c_void_p, c_char_p, c_int]),
                ("XSendEvent", c_int, [c_void_p, c_ulong, c_int, c_long, c_void_p]),
                ("XFree", c_int, [c_void_p]), ("XFlush", c_int, [c_void_p]),
                ("XCloseDisplay", c_int, [c_void_p])):
            getattr(self.x, function).restype = result
            getattr(self.x, function).argtypes = arguments
        self.dpy = self.x.XOpenDisplay(name.encode())
        check(self.dpy, f"cannot open display {name}")

    def grab(self, left, top, width, height):
        """The screen's RGB bytes in the rectangle."""
        image = self.x.XGetImage(self.dpy, self.x.XDefaultRootWindow(self.dpy), left, top,
                                 width, height, 0xFFFFFFFF, 2)  # ZPixmap
        check(image and image.contents.bpp == 32 and image.contents.byte_order == 0,
              "cannot read the screen as 32-bit BGRX")
        stride = image.contents.bytes_per_line
        raw = ctypes.string_at(image.contents.data, stride * height)
        self.x.XFree(image.contents.data)
        self.x.XFree(image)
        bgrx = b"".join(raw[y * stride:y * stride + 4 * width] for y in range(height))
        rgb = bytearray(3 * width * height)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgrx[2::4], bgrx[1::4], bgrx[0::4]
        return bytes(rgb)

    def request_close(self, window):
        """Sends WM_DELETE_WINDOW, as a window manager does for its close control."""
        event = XClientMessage(type=33, window=window, format=32, message_type=self.x.XInternAtom(
            self.dpy, b"WM_PROTOCOLS", 0))
        event.data[0] = self.x.XInternAtom(self.dpy, b"WM_DELETE_WINDOW", 0)
        self.x.XSendEvent(self.dpy, window, 0, 0, ctypes.byref(event))
        self.x.XFlush(self.dpy)


def crop(rgb, width, left, top, w, h):
    start, line = 3 * (top * width + left), 3 * width
    return b"".join(rgb[start + y * line:start + y * line + 3 * w] for y in range(h))


def expected_picture(engine, view):
    """v = n/4 rounded half to even (as round() does), at most 255; R = G = v, B = 0."""
    left, top, width, height = view
    sx, sy = COLS / width, ROWS / height
    ramp = [bytes((min(round(n / 4), 255),) * 2 + (0,)) for n in range(1026)]
    return b"".join(ramp[engine(c, r, sx, sy, left, top)] for r in range(ROWS) for c in range(COLS))


def zoomed(view, first, second, units=UNITS):
    """The view after zooming by corners clicked at picture pixels first and second
    (or given in picture units, with units=1)."""
    (x1, x2), (y1, y2) = (sorted((first[i] * units, second[i] * units)) for i in (0, 1))
    left, top, width, height = view
    return (left + x1 / 9600.0 * width, top + y1 / 7200.0 * height,
            (x2 - x1) / 9600.0 * width, (y2 - y1) / 7200.0 * height)


def wheel_zoomed(view, pixel):
    """The view after a notch of the wheel away from the user over the pixel: the
    zoom into the half-size rectangle that keeps the pixel in its place, its
    corner rounded half to even (as round() does) to picture units."""
    x1, y1 = round(pixel[0] * UNITS / 2), round(pixel[1] * UNITS / 2)
    return zoomed(view, (x1, y1), (x1 + 4800, y1 + 3600), units=1)


def read_ppm(data, what):
    """The size and the RGB bytes of a binary PPM file as Qt writes it."""
    kind, width, height, depth = (data.split(maxsplit=4) + [b""] * 4)[:4]
    check((kind, depth) == (b"P6", b"255"), f"{what} is not an 8-bit binary PPM file")
    size = (int(width), int(height))
    return size, data[len(data) - 3 * size[0] * size[1]:]


def png_texts(data):
    """The Latin-1 text entries of a PNG file: tEXt, and zTXt (compressed)."""
    texts, at = {}, 8
    while at + 8 <= len(data):
        length, kind = int.from_bytes(data[at:at + 4], "big"), data[at + 4:at + 8]
        key, _, value = data[at + 8:at + 8 + length].partition(b"\0")
        if kind in (b"tEXt", b"zTXt"):
            # A zTXt entry's value is a method byte (0, zlib) and zlib's stream.
            texts[key.decode("latin-1")] = (
                value if kind == b"tEXt" else zlib.decompress(value[1:])).decode("latin-1")
        at += 12 + length
    return texts


def with_band(picture, a, b):
    """The picture with the red outline of the rectangle between pixels a and b."""
    (x1, x2), (y1, y2) = sorted((a[0], b[0])), sorted((a[1], b[1]))
    out = bytearray(picture)
    for x, y in [(x, y) for x in range(x1, x2 + 1) for y in (y1, y2)] + [
            (x, y) for y in range(y1, y2 + 1) for x in (x1, x2)]:
        out[3 * (y * COLS + x):3 * (y * COLS + x) + 3] = b"\xff\0\0"
    return bytes(out)


def with_cross(picture, at):
    """The picture with the keyboard cursor's cross at pixel at: the row and
    the column of 9 pixels through it in inverted colours."""
    out = bytearray(picture)
    for x, y in [(at[0] + d, at[1]) for d in range(-4, 5)] + [
            (at[0], at[1] + d) for d in range(-4, 5) if d]:
        if 0 <= x < COLS and 0 <= y < ROWS:
            i = 3 * (y * COLS + x)
            out[i:i + 3] = bytes(255 - c for c in out[i:i + 3])
    return bytes(out)


def without(picture, pointer):
    """The picture with the pixels around and below right of pointer, where
    a pointer's image may lie, black."""
    out = bytearray(picture)
    left, right = max(pointer[0] - 4, 0), min(pointer[0] + 32, COLS)
    for y in range(max(pointer[1] - 4, 0), min(pointer[1] + 32, ROWS)):
        out[3 * (y * COLS + left):3 * (y * COLS + right)] = bytes(3 * (right - left))
    return bytes(out)


def arrows(start, end):
    """The arrow keys that move the picture's cursor from start to end."""
    keys = []
    for delta, less, more in ((end[0] - start[0], "Left", "Right"),
                              (end[1] - start[1], "Up", "Down")):
        name = more if delta > 0 else less
        keys += [f"shift+{name}"] * (abs(delta) // 10) + [name] * (abs(delta) % 10)
    return keys


def differences(shown, expected):
    """(col, row, shown, expected) of every pixel that differs."""
    out = []
    for r in (r for r in range(ROWS) if shown[r * 3 * COLS:(r + 1) * 3 * COLS] !=
              expected[r * 3 * COLS:(r + 1) * 3 * COLS]):
        for c in range(COLS):
            i = 3 * (r * COLS + c)
            if (a := tuple(shown[i:i + 3])) != (e := tuple(expected[i:i + 3])):
                out.append((c, r, a, e))
    return out


class App:
    """One run of the program, driven and watched through the X server."""

    wayland = False

    def __init__(self, suite, program):
        self.suite = suite
        env = dict(suite.env, QT_QPA_PLATFORM="xcb")
        env.pop("LD_LIBRARY_PATH", None)  # the program finds its engine by itself
        if self.wayland:
            env.update(QT_QPA_PLATFORM="wayland", WAYLAND_DISPLAY=suite.wayland_socket())
        self.proc = subprocess.Popen([program], cwd=os.path.dirname(program), env=env)

    def open(self):
        self.window = self.wait(lambda: self.find(TITLE), SHORT, "the window", shots=False)
        geometry = dict(v.split("=") for v in self.xdotool("getwindowgeometry", "--shell",
                                                           self.window).split())
        self.origin = (int(geometry["X"]), int(geometry["Y"]))
        self.size = (int(geometry["WIDTH"]), int(geometry["HEIGHT"]))

    def keys(self, *names):
        """Types keys into the window, giving it the focus first."""
        self.xdotool("windowfocus", "--sync", self.window)
        self.xdotool("key", "--delay", "20", *names)

    def xdotool(self, *args, check=True):
        try:
            return subprocess.run(["xdotool", *args], env=self.suite.env, check=check, text=True,
                                  capture_output=True, timeout=SHORT).stdout.strip()
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired) as error:
            raise Failure(f"xdotool: {error}") from None

    def find(self, title):
        found = self.xdotool("search", "--onlyvisible", "--name", f"^{title}$", check=False)
        return found.split()[0] if found else None

    def screen(self):
        return self.suite.display.grab(*self.origin, *CLIENT)

    def picture(self, screen=None):
        return crop(screen or self.screen(), CLIENT[0], *PIC, COLS, ROWS)

    def wait(self, condition, timeout, what, shots=True):
        """Polls condition until it gives a true value, which it returns."""
        end = time.monotonic() + timeout
        while not (value := condition()):
            check(self.proc.poll() is None,
                  f"the program ended ({self.proc.returncode}) while waiting for {what}")
            if time.monotonic() > end:
                if shots:
                    self.suite.save(self.screen(), "timeout")
                raise Failure(f"no {what} within {timeout:.0f} s")
            time.sleep(0.03)
        return value

    def click(self, x, y, button=1):
        self.move(x, y)
        self.xdotool("click", str(button))

    def move(self, x, y):
        self.xdotool("mousemove", str(self.origin[0] + x), str(self.origin[1] + y))

    def click_picture(self, pixel, button=1):
        self.click(PIC[0] + pixel[0], PIC[1] + pixel[1], button)

    def press(self, name):
        self.click(BUTTON_LEFT[name] + BUTTON_SIZE[0] // 2, BUTTON_TOP + BUTTON_SIZE[1] // 2)

    def answer_box(self, title):
        """Closes the box of that title with Return, giving it the focus first
        as a window manager would."""
        box = self.wait(lambda: self.find(title), SHORT, f"box {title!r}")
        self.xdotool("windowfocus", "--sync", box)
        self.xdotool("key", "Return")
        self.wait(lambda: not self.find(title), SHORT, f"closing of box {title!r}")

    def buttons(self, screen=None):
        """Whether draw, restart and sstop look enabled: dark caption text."""
        screen = screen or self.screen()
        return tuple(min(crop(screen, CLIENT[0], BUTTON_LEFT[name] + 10, BUTTON_TOP + 12,
                              BUTTON_SIZE[0] - 20, BUTTON_SIZE[1] - 24)) < 60
                     for name in ("draw", "restart", "sstop"))

    def idle(self, screen=None):
        return self.buttons(screen) == (True, True, False)

    def drawing(self, screen=None):
        return self.buttons(screen) == (False, False, True)

    def expect_picture(self, expected, what):
        """Waits for a pass to end with the expected picture. Idle buttons over
        another picture, unchanged for SETTLE seconds, fail at once."""
        last = {"screen": None}

        def done():
            screen = self.screen()
            if screen != last["screen"]:
                last.update(screen=screen, since=time.monotonic())
            return self.idle(screen) and (not differences(self.picture(screen), expected) or (
                time.monotonic() - last["since"] > SETTLE and "settled"))

        try:
            result = self.wait(done, LONG, what, shots=False)
        except Failure as failure:
            result = str(failure)
        if result is not True:
            wrong = differences(self.picture(last["screen"]), expected)
            self.suite.save(last["screen"], "picture")
            raise Failure(f"{what}: {'the pass ended' if result == 'settled' else result} with "
                          f"{len(wrong)} pixels wrong, buttons (draw, restart, sstop) enabled "
                          f"{self.buttons(last['screen'])}; (col, row, shown, expected): "
                          f"{wrong[:4]}")

    def hold_still(self, seconds, what):
        """The window shows no change for the given time; returns what it shows."""
        first, end = self.screen(), time.monotonic() + seconds
        while time.monotonic() < end:
            time.sleep(0.05)
            if (now := self.screen()) != first:
                self.suite.save(first, "before")
                self.suite.save(now, "after")
                raise Failure(f"the window changed while {what}")
        return first

    def vanishes(self, after):
        """The window goes within a second."""
        end = time.monotonic() + 1.0
        while self.find(TITLE):
            check(time.monotonic() < end, f"the window still shows a second after {after}")
            time.sleep(0.03)

    def exit_status(self, after):
        try:
            return self.proc.wait(SHORT)
        except subprocess.TimeoutExpired:
            self.suite.save(self.screen(), "still-running")
            raise Failure(f"the program still runs {SHORT:.0f} s after {after}") from None

    def start_heavy_pass(self):
        self.click_picture(HEAVY[0])
        self.click_picture(HEAVY[1])
        self.wait(self.drawing, SHORT, "drawing state of the buttons")


class WaylandApp(App):
    """One run of the program on Wayland, in weston: found on the screen by its
    picture, as no X window of its own exists."""

    wayland = True

    def open(self):
        self.origin = self.wait(self.locate, SHORT, "the window", shots=False)

    def locate(self):
        """The client area's top-left corner: 8 pixels above and left of the
        picture, found as the topmost run of exactly 642 black pixels (the
        picture's plain border, or the black picture within it), or of exactly
        640 (the picture's top row, when its frame shows the focus)."""
        width, height = OUTPUT
        screen = self.suite.display.grab(0, 0, width, height)
        black = bytes(3)
        for y in range(height):
            line = screen[3 * width * y:3 * width * (y + 1)]
            x = line.find(bytes(3 * 640))
            while x >= 0 and x % 3:
                x = line.find(bytes(3 * 640), x + 1)
            if x < 0:
                continue
            start, end = x // 3, x // 3 + 640
            while start > 0 and line[3 * (start - 1):3 * start] == black:
                start -= 1
            while end < width and line[3 * end:3 * end + 3] == black:
                end += 1
            if end - start == 642:
                return (start + 1 - PIC[0], y + 1 - PIC[1])
            if end - start == 640:
                return (start - PIC[0], y - PIC[1])
        return None

    def find(self, title):
        return None

    def keys(self, *names):
        """Types keys into weston, which passes them to the focused window."""
        self.xdotool("key", "--delay", "20", *names)

    def title_bar(self):
        """The strip of Qt's title bar just above the client area."""
        return self.suite.display.grab(self.origin[0], self.origin[1] - 26, CLIENT[0], 20)

    def click(self, x, y, button=1):
        """Clicks, then parks the pointer at the output's bottom left, off
        the controls: weston draws the pointer into the screen."""
        super().click(x, y, button)
        self.xdotool("mousemove", "4", str(OUTPUT[1] - 4))


def check_startup(app):
    check(app.xdotool("getwindowname", app.window) == TITLE, "wrong window title")
    # The keyboard's focus, which a window manager gives a new window.
    app.xdotool("windowfocus", "--sync", app.window)
    check(app.size == CLIENT, f"client area {app.size}, expected {CLIENT}")
    screen = app.wait(lambda: app.idle(s := app.screen()) and s, SHORT,
                      "idle buttons (draw, restart enabled, sstop disabled)")
    # The picture has the focus, and shows its cursor, from the start.
    screen = app.wait(lambda: app.picture(s := app.screen()) == with_cross(
        bytes(3 * COLS * ROWS), CURSOR) and s, SHORT, "a black picture with the cursor's cross")
    check(all(crop(screen, CLIENT[0], x, y, 1, 1) != bytes(3)
              for x, y in ((2, 300), (653, 300), (300, 2), (300, 496))),
          "black around the picture")


def run_main(suite, app):
    check_startup(app)
    default = expected_picture(suite.engine, DEFAULT_VIEW)
    suite.step("start-up")

    # The focus starts on the picture; Tab takes it to "Začni risati".
    app.keys("Tab", "Return")
    app.expect_picture(default, "a full pass of the default view")
    suite.step("full pass of the default view, from Tab and Return")

    # Shift+Tab back to the picture; its cursor moves by 10 pixels with Shift,
    # marked by its cross, over the band too and after the pass.
    app.keys("shift+Tab", *arrows(CURSOR, ZOOM[0]), "space", *arrows(ZOOM[0], ZOOM[1]))
    app.wait(lambda: app.picture() == with_cross(with_band(default, *ZOOM), ZOOM[1]), SHORT,
             "rubber band")
    app.keys("space")
    view = zoomed(DEFAULT_VIEW, *ZOOM)
    picture = with_cross(expected_picture(suite.engine, view), ZOOM[1])
    app.expect_picture(picture, f"the zoomed view {view}")
    suite.step("zoom by the arrow keys and Space")

    # A window manager that ignores the window's fixed size may impose
    # another, as for a maximize: the layout stays at the top left.
    app.xdotool("windowsize", app.window, "900", "700")
    app.wait(lambda: app.xdotool("getwindowgeometry", app.window).endswith("900x700"), SHORT,
             "the imposed size")
    app.hold_still(0.5, "the window had taken a larger size")
    check(app.picture() == picture and app.idle(), "the layout moved in the larger window")
    app.xdotool("windowsize", app.window, *map(str, CLIENT))
    app.wait(lambda: app.xdotool("getwindowgeometry", app.window).endswith("x".join(
        map(str, CLIENT))), SHORT, "the window's own size")
    suite.step("a larger size imposed and taken back")

    # The pointer takes the cross away.
    a, b = (100, 80), (300, 260)
    picture = expected_picture(suite.engine, view)
    app.click_picture(a)
    app.move(PIC[0] + b[0], PIC[1] + b[1])
    app.wait(lambda: app.picture() == with_band(picture, a, b), SHORT, "rubber band")
    app.click_picture(b, button=3)
    app.wait(lambda: app.picture() == picture, SHORT, "picture without the band")
    app.hold_still(0.5, "nothing was to happen after a cancel")
    suite.step("cancel by the right button")

    app.press("restart")
    app.expect_picture(default, "the default view after restart")
    heavy = expected_picture(suite.engine, zoomed(DEFAULT_VIEW, *HEAVY))
    app.start_heavy_pass()
    app.press("sstop")
    app.wait(app.idle, SHORT, "idle buttons after a stop")
    stopped = app.hold_still(1.0, "the pass was to stay stopped")
    check(differences(app.picture(stopped), heavy), "the pass was not stopped")
    suite.step("stop during a pass")

    # The focus moved with the click from "Ustavi" back to "Začni risati":
    # Return starts a pass, during which the focus is on "Ustavi", which
    # Space presses; after it the focus is back, and Enter starts a pass.
    app.keys("Return")
    app.wait(app.drawing, SHORT, "drawing state of the buttons after Return")
    app.keys("space")
    app.wait(app.idle, SHORT, "idle buttons after Space on the focused stop button")
    check(differences(app.hold_still(0.5, "the pass was stopped"), heavy),
          "the pass was not stopped")
    app.keys("KP_Enter")
    app.wait(app.drawing, SHORT, "drawing state of the buttons after Enter")
    suite.step("keyboard focus on the stop button during a pass, and back after")
    app.press("Command1")
    app.wait(lambda: app.find("O programu"), SHORT, "About box")
    check(app.drawing(app.hold_still(1.0, "the About box was open")),
          "the pass ended under the About box")
    app.answer_box("O programu")
    app.expect_picture(heavy, "the pass to complete after the About box")
    suite.step("About box holds a pass, which then completes")

    # Izhod during a pass while the program holds a copy: the window goes at
    # once, and the copy outlives the program where a clipboard manager runs.
    with ClipboardKeeper(suite):
        app.keys("ctrl+c")
        app.press("draw")
        app.wait(app.drawing, SHORT, "drawing state of the buttons")
        app.press("Command2")
        app.vanishes("Izhod")
        check((status := app.exit_status("Izhod")) == 0, f"exit status {status} after Izhod")
        check_kept_copy(suite, heavy, zoomed(DEFAULT_VIEW, *HEAVY))
    suite.step("Izhod during a pass, its copy kept by the clipboard manager")


def run_close(suite, app):
    app.press("draw")
    app.expect_picture(expected_picture(suite.engine, DEFAULT_VIEW), "a pass of the default view")
    app.start_heavy_pass()
    suite.display.request_close(int(app.window))
    check((status := app.exit_status("WM_DELETE_WINDOW")) == 0,
          f"exit status {status} after WM_DELETE_WINDOW")
    suite.step("closing the window during a pass")


def save_through_dialog(suite, app, name):
    """Ctrl+S, a new name typed over the proposed one and Return in the save
    dialog; returns the saved file's path once it is there and the dialog is
    closed."""
    path = os.path.join(suite.pictures, name)
    if app.wayland:
        # The dialog has no X window: the main window's title bar shows, by
        # its colours, that the dialog has taken the focus and given it back.
        title = app.title_bar()
        app.keys("ctrl+s")
        app.wait(lambda: app.title_bar() != title, SHORT, "the save dialog")
        time.sleep(0.5)
    else:
        app.keys("ctrl+s")
        dialog = app.wait(lambda: app.find("Shrani sliko"), SHORT, "the save dialog")
        app.xdotool("windowfocus", "--sync", dialog)
    app.xdotool("key", "--delay", "20", "ctrl+a")
    app.xdotool("type", "--delay", "20", name)
    app.xdotool("key", "Return")
    app.wait(lambda: os.path.exists(path) and (
        app.title_bar() == title if app.wayland else not app.find("Shrani sliko")), SHORT,
             f"{name} saved and the dialog closed")
    return path


def check_saved(path, shown):
    with open(path, "rb") as f:
        size, pixels = read_ppm(f.read(), path)
    check(size == (COLS, ROWS), f"saved picture of size {size}")
    wrong = differences(pixels, shown)
    check(not wrong, f"{len(wrong)} pixels of the saved picture differ from the screen: "
          f"{wrong[:4]}")


class ClipboardKeeper:
    """The suite's clipboard manager, running while the context lasts."""

    def __init__(self, suite):
        self.proc = subprocess.Popen(
            [sys.executable, os.path.join(os.path.dirname(__file__), "clipboardkeeper.py")],
            env=suite.env, stdout=subprocess.PIPE, text=True)

    def __enter__(self):
        check(self.proc.stdout.readline().strip() == "ready", "the clipboard manager did not start")
        return self

    def __exit__(self, *error):
        self.proc.kill()
        self.proc.wait()
        self.proc.stdout.close()


def check_kept_copy(suite, picture, view):
    """The clipboard holds the picture, with the view in its PNG's text entries,
    and the view's four numbers as its text."""
    def read(target):
        try:
            return subprocess.run(["xclip", "-selection", "clipboard", "-o", "-t", target],
                                  env=suite.env, check=True, capture_output=True,
                                  timeout=SHORT).stdout
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired) as error:
            raise Failure(f"xclip: the clipboard has no {target}: {error}") from None

    size, pixels = read_ppm(read("image/ppm"), "the clipboard's image/ppm")
    wrong = differences(pixels, picture) if size == (COLS, ROWS) else [size]
    check(not wrong, f"the kept copy differs from the picture: {wrong[:4]}")
    def numbers(text):
        try:
            return tuple(map(float, text.split(",")))
        except ValueError:
            return None

    texts = png_texts(read("image/png"))
    check(numbers(texts.get("View", "")) == view, f"the kept PNG's view {texts.get('View')!r}")
    check(numbers(read("UTF8_STRING").decode()) == view, "the kept text is not the view")


def run_keep(suite, app):
    default = expected_picture(suite.engine, DEFAULT_VIEW)
    app.press("draw")
    app.expect_picture(default, "a pass of the default view")
    # A suffix other than .png gives its own format: PPM, plain to read here.
    check_saved(save_through_dialog(suite, app, "kept.ppm"), app.picture())
    suite.step("Ctrl+S through the save dialog")

    pixel = (200, 100)
    view = wheel_zoomed(DEFAULT_VIEW, pixel)
    app.move(PIC[0] + pixel[0], PIC[1] + pixel[1])
    app.xdotool("click", "4")
    wheeled = expected_picture(suite.engine, view)
    app.expect_picture(wheeled, f"the view {view} after a notch of the wheel")
    app.xdotool("click", "8")
    app.expect_picture(default, "the default view after the back button")
    app.xdotool("click", "9")
    app.expect_picture(wheeled, "the wheel's view after the forward button")
    suite.step("a wheel notch, then the back and forward buttons")

    app.press("Command2")
    check((status := app.exit_status("Izhod")) == 0, f"exit status {status} after Izhod")


def run_without_engine(suite, app):
    check_startup(app)
    app.press("Command1")
    app.answer_box("O programu")
    app.press("draw")
    app.answer_box("Napaka")
    app.wait(app.idle, SHORT, "idle buttons after the error")
    check(app.picture() == bytes(3 * COLS * ROWS), "the picture is not black after the error")
    app.press("Command1")
    app.answer_box("O programu")
    app.press("Command2")
    check((status := app.exit_status("Izhod")) == 0, f"exit status {status} after Izhod")
    suite.step("engine library missing: window, About, error box, Exit")


def beyond_client(app):
    """The screen just right of the client area's own width."""
    return app.suite.display.grab(app.origin[0] + CLIENT[0] + 4, app.origin[1] + 300, 8, 1)


def run_wayland(suite, app):
    screen = app.wait(lambda: app.idle(s := app.screen()) and s, SHORT, "idle buttons")
    # The pointer that weston has over the new window may take the cross away.
    black = bytes(3 * COLS * ROWS)
    check(app.picture(screen) in (black, with_cross(black, CURSOR)), "the picture is not all black")
    background = crop(screen, CLIENT[0], 2, 300, 1, 1)
    check(beyond_client(app) != background * 8, "the window is wider than its own size")
    default = expected_picture(suite.engine, DEFAULT_VIEW)
    suite.step("start-up on Wayland")

    app.press("draw")
    app.expect_picture(default, "a full pass of the default view")
    suite.step("full pass of the default view")

    # Maximize from Qt's title bar: the compositor imposes its size, which
    # the window takes, its layout at the top left and its background beyond.
    normal = app.origin
    app.click(CLIENT[0] + MAXIMIZE[0], MAXIMIZE[1])
    app.origin = app.wait(lambda: (o := app.locate()) != normal and o, SHORT, "maximized window")
    width = OUTPUT[0] - 2 * app.origin[0]  # of the client area, the frame's sides alike
    check(width > CLIENT[0] and app.suite.display.grab(
        app.origin[0] + CLIENT[0], app.origin[1] + 300, width - CLIENT[0], 1) ==
        background * (width - CLIENT[0]), "no window background beyond the layout")
    app.expect_picture(default, "the picture in the maximized window")
    suite.step("maximize")

    app.click_picture(ZOOM[0])
    app.move(PIC[0] + ZOOM[1][0], PIC[1] + ZOOM[1][1])
    # The pointer, drawn on the picture, hides a corner of the band.
    band = without(with_band(default, *ZOOM), ZOOM[1])
    app.wait(lambda: without(app.picture(), ZOOM[1]) == band, SHORT, "rubber band")
    app.click_picture(ZOOM[1])
    view = zoomed(DEFAULT_VIEW, *ZOOM)
    app.expect_picture(expected_picture(suite.engine, view), f"the zoomed view {view}")
    suite.step("zoom by two clicks, maximized")

    # Restoring brings back the window's own size.
    app.click(width + MAXIMIZE[0], MAXIMIZE[1])
    app.origin = app.wait(lambda: app.locate() == normal and normal, SHORT, "restored window")
    check(beyond_client(app) != background * 8,
          "the window is wider than its own size after restoring")
    suite.step("restore")

    # Qt's own save dialog, a window of its own beside the main one.
    shown = app.picture()
    check_saved(save_through_dialog(suite, app, "kept-wayland.ppm"), shown)
    suite.step("Ctrl+S through the save dialog")

    app.press("Command2")
    check((status := app.exit_status("Izhod")) == 0, f"exit status {status} after Izhod")
    suite.step("Izhod")


class Suite:
    def __init__(self, program_dir, screenshot_dir):
        self.program = os.path.join(os.path.abspath(program_dir), "Quenthar")
        self.engine = ctypes.CDLL(os.path.join(os.path.dirname(self.program),
                                               "libengine.so")).Engine
        self.engine.restype = ctypes.c_int32
        self.engine.argtypes = [ctypes.c_int32] * 2 + [ctypes.c_double] * 4
        self.screenshot_dir, self.saved, self.failures = screenshot_dir, 0, 0
        shutil.rmtree(screenshot_dir, ignore_errors=True)
        read, write = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                      "1024x768x24", "-nolisten", "tcp"], pass_fds=(write,),
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        with os.fdopen(read) as pipe:
            number = pipe.readline().strip()  # written once the server is ready
        check(number, "Xvfb did not start")
        self.runtime = tempfile.TemporaryDirectory()
        # The pictures folder, where a save starts, is one of the suite's own.
        self.pictures = os.path.join(self.runtime.name, "Slike")
        os.makedirs(self.pictures)
        with open(os.path.join(self.runtime.name, "user-dirs.dirs"), "w") as f:
            f.write(f'XDG_PICTURES_DIR="{self.pictures}"\n')
        self.env = dict(os.environ, DISPLAY=f":{number}", XDG_RUNTIME_DIR=self.runtime.name,
                        XDG_CONFIG_HOME=self.runtime.name)
        self.display = Display(f":{number}")
        self.weston = None
        self.started = time.monotonic()

    def wayland_socket(self):
        """Starts weston on the X server, once; returns its socket's name."""
        name = "wl-x"
        if self.weston is None:
            self.weston = subprocess.Popen(
                ["weston", "--backend=x11-backend.so", "--use-pixman", f"--socket={name}",
                 f"--width={OUTPUT[0]}", f"--height={OUTPUT[1]}", "--idle-time=0"],
                env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            socket = os.path.join(self.runtime.name, name)
            end = time.monotonic() + SHORT
            while not os.path.exists(socket):
                check(self.weston.poll() is None and time.monotonic() < end, "weston did not start")
                time.sleep(0.05)
            time.sleep(1.0)  # its shell's panel and background
            # weston follows the pointer by its moves from where it entered.
            for x, y in ((OUTPUT[0] + 10, OUTPUT[1] + 10), (OUTPUT[0] // 2, 10)):
                subprocess.run(["xdotool", "mousemove", str(x), str(y)], env=self.env, check=True)
                time.sleep(0.1)
        return name

    def save(self, screen, name):
        os.makedirs(self.screenshot_dir, exist_ok=True)
        self.saved += 1
        path = os.path.join(self.screenshot_dir, f"{self.saved:02d}-{name}.ppm")
        with open(path, "wb") as f:
            f.write(b"P6 %d %d 255\n" % CLIENT + screen)
        print(f"     screenshot: {path}")

    def step(self, name):
        print(f"ok   {name} ({time.monotonic() - self.started:.1f} s)", flush=True)
        self.started, self.passed = time.monotonic(), name

    def run(self, case, program, kind=App):
        app, self.passed = kind(self, program), "its start"
        try:
            app.open()
            case(self, app)
        except Failure as failure:
            self.failures += 1
            print(f"FAIL {case.__name__}, after {self.passed}: {failure}", flush=True)
        finally:
            if app.proc.poll() is None:
                app.proc.kill()
                app.proc.wait()
        self.started = time.monotonic()

    def close(self):
        if self.weston:
            self.weston.terminate()
            self.weston.wait()
        self.xvfb.terminate()
        self.xvfb.wait()
        self.runtime.cleanup()

    def verdict(self):
        """Prints the outcome of the cases run; the exit status of the suite."""
        print("all passed" if not self.failures else f"{self.failures} failed")
        return 1 if self.failures else 0


def main():
    arguments = sys.argv[1:]
    wayland = arguments[:1] == ["--wayland"]
    arguments = arguments[wayland:]
    if len(arguments) != 2:
        sys.exit(__doc__)
    suite = Suite(*arguments)
    try:
        suite.run(run_main, suite.program)
        suite.run(run_close, suite.program)
        suite.run(run_keep, suite.program)
        with tempfile.TemporaryDirectory() as alone:
            suite.run(run_without_engine, shutil.copy2(suite.program, alone))
        if wayland:
            suite.run(run_wayland, suite.program, WaylandApp)
    finally:
        suite.close()
    return suite.verdict()


if __name__ == "__main__":
    sys.exit(main())
