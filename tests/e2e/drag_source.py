"""A GTK 3 window that a test drags from with the real mouse.

    drag_source.py TITLE uri-list FILE
    drag_source.py TITLE moz-url ADDRESS LINK-TITLE

The whole window is the drag source. "uri-list" offers FILE as text/uri-list
the way file managers do; "moz-url" offers a web link the way browsers do:
text/x-moz-url (address, newline, title in UTF-16 without a byte-order mark)
and text/plain (the address). Every request for data and the end of each
drag are written to standard output, one line each, flushed at once:
    data <target>
    end <action>        (copy, move, link, none)
so the test learns which format the drop took and which effect it granted.

Run it with Debian's /usr/bin/python3 (python3-gi, gir1.2-gtk-3.0).
"""
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def say(line):
    print(line, flush=True)


def main():
    if len(sys.argv) < 4 or sys.argv[2] not in ("uri-list", "moz-url"):
        sys.exit(__doc__)
    title, kind = sys.argv[1], sys.argv[2]
    if kind == "uri-list":
        uri = GLib.filename_to_uri(sys.argv[3], None)
        payload = {"text/uri-list": (uri + "\r\n").encode()}
    else:
        address, link_title = sys.argv[3], sys.argv[4]
        payload = {
            "text/x-moz-url": (address + "\n" + link_title).encode("utf-16-le"),
            "text/plain": address.encode(),
        }

    window = Gtk.Window(title=title)
    window.set_default_size(200, 150)
    area = Gtk.EventBox()
    area.add(Gtk.Label(label=title))
    window.add(area)
    targets = [Gtk.TargetEntry.new(t, 0, i) for i, t in enumerate(payload)]
    area.drag_source_set(Gdk.ModifierType.BUTTON1_MASK, targets,
                         Gdk.DragAction.COPY | Gdk.DragAction.MOVE | Gdk.DragAction.LINK)

    def on_get(_widget, _context, selection, _info, _time):
        target = selection.get_target().name()
        say("data " + target)
        selection.set(selection.get_target(), 8, payload.get(target, b""))

    def on_end(_widget, context):
        action = context.get_selected_action()
        names = {Gdk.DragAction.COPY: "copy", Gdk.DragAction.MOVE: "move", Gdk.DragAction.LINK: "link"}
        say("end " + names.get(action, "none"))

    def on_failed(_widget, _context, result):
        say("failed " + result.value_nick)
        return False

    area.connect("drag-data-get", on_get)
    area.connect("drag-end", on_end)
    area.connect("drag-failed", on_failed)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    say("ready")
    Gtk.main()


main()
