#!/usr/bin/env python3
"""A minimal clipboard manager, as desktop sessions run one, for the
end-to-end suite: it owns the selection CLIPBOARD_MANAGER, and when a program
that ends asks it to SAVE_TARGETS, it fetches every target the clipboard
offers, takes the clipboard over and serves what it fetched from then on.

Prints "ready" once it owns CLIPBOARD_MANAGER; runs until it is ended.

usage: clipboardkeeper.py  (on the display $DISPLAY)
"""
import ctypes
import ctypes.util
import sys
from ctypes import POINTER, byref, c_char_p, c_int, c_long, c_ubyte, c_ulong, c_void_p

SELECTION_CLEAR, SELECTION_REQUEST, SELECTION_NOTIFY = 29, 30, 31
ANY_PROPERTY_TYPE, XA_ATOM, REPLACE, CURRENT_TIME = 0, 4, 0, 0


class SelectionRequest(ctypes.Structure):  # Xlib's XSelectionRequestEvent
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("owner", c_ulong), ("requestor", c_ulong),
                ("selection", c_ulong), ("target", c_ulong), ("property", c_ulong),
                ("time", c_ulong)]


class SelectionNotify(ctypes.Structure):  # Xlib's XSelectionEvent
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("requestor", c_ulong), ("selection", c_ulong),
                ("target", c_ulong), ("property", c_ulong), ("time", c_ulong)]


class SelectionClear(ctypes.Structure):  # Xlib's XSelectionClearEvent
    _fields_ = [("type", c_int), ("serial", c_ulong), ("send_event", c_int),
                ("display", c_void_p), ("window", c_ulong), ("selection", c_ulong),
                ("time", c_ulong)]


class Event(ctypes.Union):  # Xlib's XEvent, 24 longs
    _fields_ = [("type", c_int), ("request", SelectionRequest), ("notify", SelectionNotify),
                ("clear", SelectionClear), ("pad", c_long * 24)]


class Keeper:
    def __init__(self):
        self.x = x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        for function, result, arguments in (
                ("XOpenDisplay", c_void_p, [c_char_p]),
                ("XDefaultRootWindow", c_ulong, [c_void_p]),
                ("XCreateSimpleWindow", c_ulong,
                 [c_void_p, c_ulong, c_int, c_int, ctypes.c_uint, ctypes.c_uint, ctypes.c_uint,
                  c_ulong, c_ulong]),
                ("XInternAtom", c_ulong, [c_void_p, c_char_p, c_int]),
                ("XSetSelectionOwner", c_int, [c_void_p, c_ulong, c_ulong, c_ulong]),
                ("XGetSelectionOwner", c_ulong, [c_void_p, c_ulong]),
                ("XConvertSelection", c_int, [c_void_p, c_ulong, c_ulong, c_ulong, c_ulong,
                                              c_ulong]),
                ("XNextEvent", c_int, [c_void_p, POINTER(Event)]),
                ("XGetWindowProperty", c_int,
                 [c_void_p, c_ulong, c_ulong, c_long, c_long, c_int, c_ulong, POINTER(c_ulong),
                  POINTER(c_int), POINTER(c_ulong), POINTER(c_ulong), POINTER(c_void_p)]),
                ("XChangeProperty", c_int, [c_void_p, c_ulong, c_ulong, c_ulong, c_int, c_int,
                                            c_void_p, c_int]),
                ("XSendEvent", c_int, [c_void_p, c_ulong, c_int, c_long, POINTER(Event)]),
                ("XSetErrorHandler", c_void_p, [c_void_p]),
                ("XFlush", c_int, [c_void_p]), ("XFree", c_int, [c_void_p])):
            getattr(x, function).restype = result
            getattr(x, function).argtypes = arguments
        # A requestor gone before its answer is no reason to end.
        self.ignore = ctypes.CFUNCTYPE(c_int, c_void_p, c_void_p)(lambda display, error: 0)
        x.XSetErrorHandler(self.ignore)
        self.dpy = x.XOpenDisplay(None)
        if not self.dpy:
            sys.exit("clipboardkeeper: cannot open the display")
        self.window = x.XCreateSimpleWindow(self.dpy, x.XDefaultRootWindow(self.dpy),
                                            0, 0, 1, 1, 0, 0, 0)
        atom = lambda name: x.XInternAtom(self.dpy, name.encode(), 0)
        self.manager, self.clipboard = atom("CLIPBOARD_MANAGER"), atom("CLIPBOARD")
        self.save_targets, self.targets = atom("SAVE_TARGETS"), atom("TARGETS")
        self.incr, self.landing = atom("INCR"), atom("_KEEPER_LANDING")
        self.not_kept = {self.targets, self.save_targets, self.incr, atom("MULTIPLE"),
                         atom("TIMESTAMP"), atom("DELETE")}
        self.kept = {}  # target: (type, format, count, bytes as Xlib hands them)
        x.XSetSelectionOwner(self.dpy, self.manager, self.window, CURRENT_TIME)
        if x.XGetSelectionOwner(self.dpy, self.manager) != self.window:
            sys.exit("clipboardkeeper: another program owns CLIPBOARD_MANAGER")

    def next_event(self):
        event = Event()
        self.x.XNextEvent(self.dpy, byref(event))
        return event

    def fetch(self, target):
        """The clipboard's content as target, or None."""
        self.x.XConvertSelection(self.dpy, self.clipboard, target, self.landing, self.window,
                                 CURRENT_TIME)
        while (event := self.next_event()).type != SELECTION_NOTIFY:
            pass
        if event.notify.property == 0:
            return None
        kind, form, count, after = c_ulong(), c_int(), c_ulong(), c_ulong()
        data = c_void_p()
        self.x.XGetWindowProperty(self.dpy, self.window, self.landing, 0, 1 << 28, 1,
                                  ANY_PROPERTY_TYPE, byref(kind), byref(form), byref(count),
                                  byref(after), byref(data))
        if not data:
            return None
        # Xlib hands 32-bit items as longs.
        size = count.value * {8: 1, 16: ctypes.sizeof(ctypes.c_short),
                              32: ctypes.sizeof(c_long)}[form.value]
        content = ctypes.string_at(data, size)
        self.x.XFree(data)
        # A transfer in pieces is not kept: a program that ends sends none.
        return None if kind.value == self.incr else (kind.value, form.value, count.value,
                                                     content)

    def save(self):
        offered = self.fetch(self.targets)
        self.kept = {}
        if offered:
            atoms = (c_long * offered[2]).from_buffer_copy(offered[3])
            for target in atoms:
                if target not in self.not_kept and (content := self.fetch(target)):
                    self.kept[target] = content
        self.x.XSetSelectionOwner(self.dpy, self.clipboard, self.window, CURRENT_TIME)

    def serve(self, request):
        """Writes the target asked for, if kept; the property written, or 0."""
        prop = request.property or request.target
        if request.target == self.targets:
            atoms = (c_long * (len(self.kept) + 1))(self.targets, *self.kept)
            self.x.XChangeProperty(self.dpy, request.requestor, prop, XA_ATOM, 32, REPLACE,
                                   atoms, len(atoms))
        elif request.target in self.kept:
            kind, form, count, content = self.kept[request.target]
            buffer = (c_ubyte * len(content)).from_buffer_copy(content)
            self.x.XChangeProperty(self.dpy, request.requestor, prop, kind, form, REPLACE, buffer,
                                   count)
        else:
            return 0
        return prop

    def answer(self, request, prop):
        event = Event()
        event.notify = SelectionNotify(type=SELECTION_NOTIFY, requestor=request.requestor,
                                       selection=request.selection, target=request.target,
                                       property=prop, time=request.time)
        self.x.XSendEvent(self.dpy, request.requestor, 0, 0, byref(event))
        self.x.XFlush(self.dpy)

    def run(self):
        print("ready", flush=True)
        while True:
            event = self.next_event()
            if event.type == SELECTION_CLEAR and event.clear.selection == self.clipboard:
                self.kept = {}
            if event.type != SELECTION_REQUEST:
                continue
            request = event.request
            if request.selection == self.manager and request.target == self.save_targets:
                self.save()
                self.answer(request, request.property)
            elif request.selection == self.clipboard:
                self.answer(request, self.serve(request))
            else:
                self.answer(request, 0)


if __name__ == "__main__":
    Keeper().run()
