// The window's keys and mouse actions, in one table: the box of F1 lists them
// in Slovene, and the manual page's KEYS section is written from it in English
// when the page is built (packaging/keysection.cpp), so that the two list the
// same keys. Plain UTF-8 and no Qt, for the page's generator.
#pragma once

#include <span>

namespace keytable {

struct Key {
    // The keys or buttons, separated by ", "; each is set in bold.
    const char* english;
    const char* slovene;
    // What they do: scdoc markup for the page, plain text for the box.
    const char* englishText;
    const char* sloveneText;
};

// Keys listed together: in the manual page at its line "; keys: NAME", between
// the paragraphs around them; in the box under the heading.
struct Group {
    const char* name;
    const char* sloveneHeading;
    std::span<const Key> keys;
};

inline constexpr Key focusKeys[] = {
    {"Tab, Shift+Tab", "Tab, Shift+Tab", "Move the focus between the picture and the buttons.",
     "Premakne fokus med sliko in gumbi."},
    {"Space, Return, Enter", "Preslednica, Enter",
     "Press the focused button. On the picture, place a corner at its cursor.",
     "Pritisne gumb s fokusom; na sliki postavi vogal pri kazalcu."},
    {"Left, Right, Up, Down", "Puščice",
     "On the picture, move its cursor by a pixel; with *Shift*, by ten.",
     "Premikajo kazalec po sliki, s tipko Shift po 10 pik."},
    {"Escape", "Escape", "On the picture, cancel the first corner.",
     "Na sliki prekliče prvi vogal."},
    {"Left mouse button", "Levi gumb miške",
     "Clicked on the picture, place a corner; the second one zooms into the rectangle "
     "between them.",
     "Na sliki postavi vogal; drugi vogal približa izbrano območje."},
    {"Right mouse button", "Desni gumb miške", "Clicked on the picture, cancel the first corner.",
     "Na sliki prekliče prvi vogal."},
};

inline constexpr Key pictureKeys[] = {
    {"Ctrl+S", "Ctrl+S",
     "Save the picture, 640 × 480 pixels as the window shows it, in a file named in the "
     "save dialog, which starts in the folder of the file last chosen in the save or the "
     "open dialog, at first the pictures folder. A name ending in _.png_, or in no suffix, "
     "gives a PNG file whose text entries are *Software*, *View* (the view's left edge, "
     "top edge, width and height, numbers that read back as the very same doubles), "
     "*Title* and *Description*; another suffix that Qt writes, such as _.bmp_ or _.jpg_, "
     "gives that format. The file appears whole or not at all; a failure is shown, and an "
     "earlier file of that name stays as it was. The picture of a stopped pass says so: "
     "its *Title* and *Description* call it unfinished, and it has an entry *Unfinished* "
     "of its own. Opened again, its view is drawn whole.",
     "Shrani sliko v datoteko; slika PNG ali JPEG si zapomni svoj pogled."},
    {"Ctrl+C", "Ctrl+C",
     "Copy the picture to the clipboard, with the view's four numbers as its text; offered "
     "as PNG, it carries the text entries of a saved picture. Where a clipboard manager "
     "runs, as in desktop sessions, the copy stays on the clipboard after the program "
     "ends.",
     "Kopira sliko na odložišče, s štirimi števili pogleda kot besedilom."},
    {"Ctrl+E", "Ctrl+E",
     "Export the picture of the view into a PNG file of any size, up to 16384 pixels a side, "
     "each pixel the average of _N_ × _N_ samples, _N_ from 1 to 8 (as *--samples*), as asked "
     "in the export dialog: at first the window's own 640 × 480 pixels with one sample, into "
     "the name the save dialog proposes (a name without a suffix gets _.png_, another suffix "
     "is refused). At another shape the view is widened about its centre, its pixels keeping "
     "the shape of the window's, so that the picture looks as the window's does. The file is "
     "the one *--render* makes of the widened view with the same *--size* and *--samples*, "
     "and *--stretch*. It is drawn in the background, one export at a time, while the window "
     "goes on, with its progress in a box whose *Prekliči* stops it; a stopped or failed "
     "export leaves an earlier file of that name as it was, and a failure is shown.",
     "Izvozi sliko pogleda v datoteko PNG poljubne velikosti; risanje teče v ozadju."},
    {"Alt+Left, Alt+Right", "Alt+levo, Alt+desno",
     "Draw the view before (after) the current one. The window keeps up to 1,000 views: "
     "each zoom, *Nazaj na začetek* and each wheel step adds one, dropping the views ahead "
     "of the current one, and a view comes back bit for bit.",
     "Nariše prejšnji (naslednji) pogled; okno jih hrani do 1000."},
    {"Ctrl+Plus, Ctrl+Minus", "Ctrl+plus, Ctrl+minus",
     "Zoom in (out) 2× about the picture's centre, or about its cursor while the picture "
     "has the focus.",
     "Poveča (pomanjša) sliko 2-krat okoli središča ali kazalca na sliki."},
    {"Mouse wheel", "Kolesce miške",
     "Over the picture, a notch away from you zooms in 2×, a notch towards you zooms out "
     "2×, the point under the pointer staying where it is. Small steps of a fine wheel or "
     "a touchpad add up to notches.",
     "Nad sliko jo poveča (pomanjša) 2-krat; točka pod miško ostane na mestu."},
    {"Back mouse button, Forward mouse button", "Gumba miške nazaj, naprej",
     "Released over the picture, as *Alt+Left* and *Alt+Right*. With a first corner "
     "placed, they cancel it, as the right button does.",
     "Nad sliko kot Alt+levo in Alt+desno; postavljeni prvi vogal prekličeta."},
};

inline constexpr Key otherKeys[] = {
    {"Ctrl+O", "Ctrl+O",
     "Open a picture saved by *Quenthar* in the open dialog, which starts in the same "
     "folder as the save dialog, and draw the view its *View* entry holds, to the last bit, as the "
     "next "
     "view of the list. It acts when a picture stands and before the first pass, not "
     "during a pass or with a first corner placed. A file that cannot be read, is not a "
     "PNG or JPEG image, holds no view or a view that cannot be drawn is refused in a "
     "message box, and nothing changes; so is, at once, anything but a regular file (a "
     "folder, a FIFO, a device) and a file whose texts are damaged or far too long.",
     "Odpre shranjeno sliko in nariše njen pogled, tudi pred prvim risanjem."},
    {"F1", "F1",
     "Show these keys and mouse actions in a box, in Slovene, at any time: a pass goes on "
     "drawing behind it, and a first corner stays placed.",
     "Pokaže ta seznam, kadar koli; risanje se medtem nadaljuje."},
};

inline constexpr Group groups[] = {
    {"focus", "Fokus in izbira območja", focusKeys},
    {"picture", "Ko slika stoji (ne med risanjem in ne s postavljenim prvim vogalom)", pictureKeys},
    {"other", "Odpiranje in pomoč", otherKeys},
};

} // namespace keytable
