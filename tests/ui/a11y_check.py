#!/usr/bin/python3
"""Reads the comparison window through AT-SPI as a screen reader does and
checks that every control has a name and that the tree's rows say their
state in words. Run by a11y_check.sh inside its own session bus and display."""

import json
import sys
import time

import pyatspi

NAMED_ROLES = {"push button", "check box", "radio button", "toggle button", "combo box", "text",
               "menu item", "check menu item", "progress bar", "tree", "table column header"}


def find_application(name, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and (app.name or "").lower() == name:
                return app
        time.sleep(0.2)
    return None


def nodes(root, limit=5000):
    stack = [root]
    while stack and limit > 0:
        node = stack.pop()
        limit -= 1
        if node is None:
            continue
        yield node
        stack.extend(node.getChildAtIndex(i) for i in range(min(node.childCount, 200)))


def unnamed(app, problems):
    """Every control in sight has a name."""
    for node in nodes(app):
        role = node.getRoleName()
        if role in NAMED_ROLES and not (node.name or "").strip() and node.getState().contains(pyatspi.STATE_SHOWING):
            parent = node.parent
            problem = f"a {role} without a name (inside {parent.getRoleName() if parent else '?'} {parent.name if parent else ''!r})"
            if problem not in problems:
                problems.append(problem)


def main():
    messages = json.load(open(sys.argv[1], encoding="utf-8"))
    expected = {"notes.txt": messages["stateOnlyLeft"], "CHANGELOG": messages["stateOnlyRight"],
                "config": messages["stateDifferent"], "README.md": messages["stateEqual"]}
    app = find_application("quorvane")
    if app is None:
        print("the window never appeared on the accessibility bus")
        return 1
    # The comparison runs at start; wait until its rows are there.
    problems, cells = [], []
    for _ in range(50):
        cells = [n.name for n in nodes(app) if n.getRoleName() == "table cell"]
        if any(name.startswith("README.md") for name in cells):
            break
        time.sleep(0.2)
    unnamed(app, problems)
    # The file tab's controls are read too, once the tab is shown.
    tabs = [n for n in nodes(app) if n.getRoleName() == "page tab" and n.name == messages["tabFiles"]]
    if not tabs:
        problems.append("no tab reads " + repr(messages["tabFiles"]))
    else:
        tabs[0].queryAction().doAction(0)
        time.sleep(1)
        unnamed(app, problems)
    for name, words in expected.items():
        if not any(cell.startswith(name + ",") and words in cell for cell in cells):
            problems.append(f"no row reads {name!r} with its state {words!r}")
    for p in problems:
        print(p)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
