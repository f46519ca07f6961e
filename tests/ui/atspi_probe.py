#!/usr/bin/python3
"""What a screen reader sees of the application with the given process id, over AT-SPI.

  atspi_probe.py tree PID     one JSON line per accessible object: role, name, states, value, text
  atspi_probe.py events PID   prints "ready", then one JSON line per checked-state change and per
                              focus event of the application, until stopped
"""
import json
import sys

import pyatspi


def application(pid):
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.get_process_id() == pid:
            return app
    return None


def describe(node):
    states = node.getState()
    entry = {
        "role": node.getRoleName(),
        "name": node.name,
        "description": node.description,
        # Qt 6.4 sets no checkable state; a checkable button is a check box there.
        "checkable": states.contains(pyatspi.STATE_CHECKABLE)
                     or node.getRole() in (pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_TOGGLE_BUTTON),
        "checked": states.contains(pyatspi.STATE_CHECKED),
        "focused": states.contains(pyatspi.STATE_FOCUSED),
    }
    try:
        value = node.queryValue()
        entry["value"] = value.currentValue
        entry["maximum"] = value.maximumValue
    except NotImplementedError:
        pass
    try:
        text = node.queryText()
        entry["text"] = text.getText(0, -1)
    except NotImplementedError:
        pass
    return entry


def walk(node, depth=0):
    if node is None or depth > 12:
        return
    print(json.dumps(describe(node)), flush=True)
    for child in node:
        walk(child, depth + 1)


def events(pid):
    def on_event(event):
        try:
            if event.source.get_process_id() != pid:
                return
            print(json.dumps({"type": event.type, "detail": event.detail1, "role": event.source.getRoleName(),
                              "name": event.source.name}), flush=True)
        except Exception:  # the source may be gone by now
            pass

    pyatspi.Registry.registerEventListener(on_event, "object:state-changed:checked", "focus:",
                                           "object:state-changed:focused")
    print("ready", flush=True)
    pyatspi.Registry.start()


def main():
    command, pid = sys.argv[1], int(sys.argv[2])
    if command == "events":
        events(pid)
        return 0
    app = application(pid)
    if app is None:
        print("no such application", file=sys.stderr)
        return 1
    walk(app)
    return 0


if __name__ == "__main__":
    sys.exit(main())
