"""Drops files on a window the way a file manager does: the X drag-and-drop
protocol (XDND), which Wine turns into WM_DROPFILES for windows that accept
dropped files.

    drop_files(display, x, y, [paths])  drops at root position (x, y)
"""
import time

from Xlib import X, display as xdisplay
from Xlib.protocol import event


def _toplevel_at(d, x, y):
    """The deepest window at (x, y) that carries XdndAware, walking down
    from the root."""
    aware = d.intern_atom("XdndAware")
    window = d.screen().root
    found = None
    while True:
        if window.get_full_property(aware, X.AnyPropertyType):
            found = window
        child = None
        tree = window.query_tree()
        for c in reversed(tree.children):  # topmost first
            try:
                attrs = c.get_attributes()
                if attrs.map_state != X.IsViewable:
                    continue
                g = c.get_geometry()
                pos = c.translate_coords(d.screen().root, 0, 0)
                cx, cy = -pos.x, -pos.y
                if cx <= x < cx + g.width and cy <= y < cy + g.height:
                    child = c
                    break
            except Exception:
                continue
        if child is None:
            return found
        window = child


def drop_files(display_name, x, y, paths, timeout=10.0):
    """Drags paths from a private source window and drops them at (x, y).
    Returns True when the target accepted and finished the drop."""
    d = xdisplay.Display(display_name)
    try:
        root = d.screen().root
        source = root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
        atoms = {n: d.intern_atom(n) for n in (
            "XdndSelection", "XdndEnter", "XdndPosition", "XdndStatus", "XdndDrop",
            "XdndFinished", "XdndLeave", "XdndActionCopy", "XdndTypeList", "text/uri-list")}
        target = _toplevel_at(d, x, y)
        if target is None:
            raise RuntimeError("no XDND-aware window at the drop point")
        uris = "".join("file://" + p.replace("%", "%25").replace(" ", "%20") + "\r\n" for p in paths)
        source.set_selection_owner(atoms["XdndSelection"], X.CurrentTime)

        def send(kind, data):
            ev = event.ClientMessage(window=target, client_type=atoms[kind],
                                     data=(32, data))
            target.send_event(ev, event_mask=0)
            d.flush()

        def serve(deadline, until):
            """Answers selection requests until an event of kind arrives."""
            while time.monotonic() < deadline:
                while d.pending_events():
                    e = d.next_event()
                    if e.type == X.SelectionRequest:
                        prop = e.property or e.target
                        if e.target == atoms["text/uri-list"]:
                            e.requestor.change_property(prop, e.target, 8, uris.encode())
                        else:
                            prop = X.NONE
                        reply = event.SelectionNotify(time=e.time, requestor=e.requestor,
                                                      selection=e.selection, target=e.target,
                                                      property=prop)
                        e.requestor.send_event(reply)
                        d.flush()
                    elif e.type == X.ClientMessage and e.client_type == atoms[until]:
                        return e
                time.sleep(0.01)
            return None

        deadline = time.monotonic() + timeout
        send("XdndEnter", [source.id, 5 << 24, atoms["text/uri-list"], 0, 0])
        send("XdndPosition", [source.id, 0, (x << 16) | y, X.CurrentTime, atoms["XdndActionCopy"]])
        status = serve(deadline, "XdndStatus")
        if status is None or not (status.data[1][1] & 1):
            send("XdndLeave", [source.id, 0, 0, 0, 0])
            return False
        send("XdndDrop", [source.id, 0, X.CurrentTime, 0, 0])
        finished = serve(deadline, "XdndFinished")
        return finished is not None
    finally:
        d.close()
