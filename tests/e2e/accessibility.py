#!/usr/bin/python3
"""The built program as a screen reader sees it, over the accessibility bus.

Runs in a D-Bus session of its own (started by dbus-run-session) and the
virtual X server of the end-to-end suite, whose helpers it shares. The program
registers on the bus (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1); the suite reads the
tree of its window, presses buttons through their Action interface, zooms with
the keys, and listens to the status line's announcements and the picture's
new descriptions.

Needs Debian's /usr/bin/python3 with pyatspi (python3-pyatspi) and at-spi2-core.

usage: accessibility.py PROGRAM_DIR SCREENSHOT_DIR
"""
import os
import sys

import pyatspi
from gi.repository import GLib

from e2e import CURSOR, LONG, SHORT, TITLE, Suite, arrows, check

START_TEXT = ("Kliknite gumb \"Začni risati\" in po risanju izberite območje za "
              "približanje.")
SELECT_TEXT = "Kliknite enkrat, prestavite miško in kliknite še enkrat za izbiro."
BUTTONS = ("Začni risati", "Nazaj na začetek", "Ustavi", "O programu...", "Izhod")
KEYS_TITLE = "Tipke in miška"
KEYS_HINT = f"{KEYS_TITLE}: F1"
DEFAULT_VIEW = "levo −1,5, zgoraj −1,5, širina 3, višina 3"
# A zoom from the keyboard cursor's start, the centre, to pixel (480, 360),
# three quarters of the way across and down.
CORNER = (480, 360)
QUARTER_VIEW = "levo 0, zgoraj 0, širina 0,75, višina 0,75"


class Announcements:
    """The status line's name changes and the picture's new descriptions, as
    a screen reader receives them."""

    def __init__(self):
        self.heard, self.described = [], []
        pyatspi.Registry.registerEventListener(self.hear, "object:property-change:accessible-name",
                                               "object:property-change:accessible-description")

    def hear(self, event):
        role = event.source.getRole()
        if event.type.endswith("accessible-name") and role == pyatspi.ROLE_STATUS_BAR:
            self.heard.append(event.source.name)
        elif event.type.endswith("accessible-description") and role == pyatspi.ROLE_IMAGE:
            self.described.append(event.source.description)

    def clear(self):
        self.pump()
        self.heard.clear()
        self.described.clear()

    def pump(self):
        """Delivers the events that have arrived."""
        context = GLib.MainContext.default()
        while context.pending():
            context.iteration(False)


def accessible_app(app):
    """The program's application object on the bus."""
    for candidate in pyatspi.Registry.getDesktop(0):
        if candidate and candidate.get_process_id() == app.proc.pid and candidate.childCount:
            return candidate
    return None


def descendants(root, role):
    return pyatspi.findAllDescendants(root, lambda node: node.getRole() == role)


def top_level(application, name):
    """The program's top-level window of that name, if one shows."""
    for child in application:
        if child and child.name == name and child.getState().contains(pyatspi.STATE_SHOWING):
            return child
    return None


def push_buttons(root):
    """The named push buttons under root; a dialog's tree may hold gaps."""
    found, stack = [], [root]
    while stack:
        node = stack.pop()
        if node is None:
            continue
        if node.getRole() == pyatspi.ROLE_PUSH_BUTTON and node.name:
            found.append(node)
        stack.extend(node[i] for i in range(node.childCount))
    return found


def button_names(root):
    return sorted(b.name for b in push_buttons(root))


def press(button):
    """Presses a button through its Action interface, as a screen reader does."""
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    check("Press" in names, f"{button.name!r} offers no Press action, only {names}")
    action.doAction(names.index("Press"))


def run_accessible(suite, app):
    announcements = suite.announcements
    application = app.wait(lambda: accessible_app(app), SHORT, "the program on the bus")
    check(application.childCount == 1, f"{application.childCount} top-level objects")
    window = application[0]
    check(window.getRole() == pyatspi.ROLE_FRAME and window.name == TITLE,
          f"window: {window.getRoleName()} {window.name!r}")
    suite.step("the window: a frame named by its title")

    pictures = [p for p in descendants(window, pyatspi.ROLE_IMAGE)
                if p.getState().contains(pyatspi.STATE_SHOWING)]
    check(len(pictures) == 1, f"{len(pictures)} pictures showing")
    picture = pictures[0]
    check(picture.name == "Slika", f"picture named {picture.name!r}")
    check(DEFAULT_VIEW in picture.description and "Escape" in picture.description,
          f"picture described as {picture.description!r}")
    check(picture.getState().contains(pyatspi.STATE_FOCUSABLE), "the picture takes no focus")
    suite.step("the picture: an image, named and described")

    buttons = {b.name: b for b in descendants(window, pyatspi.ROLE_PUSH_BUTTON)}
    check(sorted(buttons) == sorted(BUTTONS), f"buttons {sorted(buttons)}")
    # Each button's description, its tooltip, tells where the keys are.
    untold = [b.name for b in buttons.values() if not b.description.endswith(KEYS_HINT)]
    check(not untold, f"buttons not telling of {KEYS_HINT!r}: {untold}")
    status = descendants(window, pyatspi.ROLE_STATUS_BAR)
    check(len(status) == 1 and status[0].name == START_TEXT,
          f"status line: {[s.name for s in status]}")
    suite.step("the five buttons, described, and the status line")

    # A pass announces its start and its end; the end is heard with its text.
    announcements.clear()
    press(buttons["Začni risati"])
    app.wait(lambda: announcements.pump() or len(announcements.heard) >= 2, LONG,
             "the announcements of a pass")
    check(announcements.heard[-1] == SELECT_TEXT, f"heard {announcements.heard}")
    check(status[0].name == SELECT_TEXT, f"status line reads {status[0].name!r}")
    check(not announcements.described, "a new description of the same view")
    suite.step("Začni risati pressed; the end of the pass announced")

    # A zoom from the keyboard: both corners and the pass are announced, and
    # the picture is described by its new view.
    announcements.clear()
    app.keys("space", *arrows(CURSOR, CORNER), "space")
    app.wait(lambda: announcements.pump() or (
        len(announcements.heard) >= 3 and announcements.described), LONG,
        "the announcements of a zoom")
    check(announcements.heard[-1] == SELECT_TEXT, f"heard {announcements.heard}")
    check(QUARTER_VIEW in picture.description, f"picture described as {picture.description!r}")
    suite.step("zoom by the keys; the new view described")

    # Qt's own boxes and dialogs speak Slovene: their buttons as a screen
    # reader names them.
    press(buttons["O programu..."])
    about = app.wait(lambda: top_level(application, "O programu"), SHORT, "the About box")
    check(button_names(about) == ["V redu"], f"the About box's buttons: {button_names(about)}")
    press(push_buttons(about)[0])
    app.wait(lambda: not top_level(application, "O programu"), SHORT, "the About box closed")
    app.keys("F1")
    keys = app.wait(lambda: top_level(application, KEYS_TITLE), SHORT, "the box of the keys")
    check(button_names(keys) == ["V redu"], f"the keys' box's buttons: {button_names(keys)}")
    press(push_buttons(keys)[0])
    app.wait(lambda: not top_level(application, KEYS_TITLE), SHORT, "the keys' box closed")
    app.keys("ctrl+s")
    dialog = app.wait(lambda: top_level(application, "Shrani sliko"), SHORT, "the save dialog")
    names = button_names(dialog)
    check({"Shrani", "Prekliči"} <= set(names), f"the save dialog's buttons: {names}")
    press(next(b for b in push_buttons(dialog) if b.name == "Prekliči"))
    app.wait(lambda: not top_level(application, "Shrani sliko"), SHORT, "the save dialog closed")
    suite.step("the About box, the keys' box and the save dialog in Slovene")

    press(buttons["Izhod"])
    check((status := app.exit_status("Izhod")) == 0, f"exit status {status} after Izhod")
    suite.step("Izhod pressed")


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    os.environ["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
    announcements = Announcements()  # before the program starts, which asks for listeners
    suite = Suite(*sys.argv[1:])
    suite.announcements = announcements
    try:
        suite.run(run_accessible, suite.program)
    finally:
        suite.close()
    return suite.verdict()


if __name__ == "__main__":
    sys.exit(main())
