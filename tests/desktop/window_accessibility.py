# SPDX-License-Identifier: GPL-3.0-or-later

"""What a screen reader finds in the running program, through AT-SPI: the names and values of
the controls, the order in which Tab reaches them, and the changes it is told of while the
operator tunes with the keyboard alone. Run by window_accessibility.sh, with the program's
window shown and holding the keyboard focus; prints what differs and exits 1, or exits 0."""

import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

problems = []
events = []


def expect(what, actual, expected):
    if actual != expected:
        problems.append("%s: %r instead of %r" % (what, actual, expected))


def pump_until(condition, what, seconds=20):
    deadline = time.monotonic() + seconds
    context = GLib.MainContext.default()
    while not condition():
        if time.monotonic() > deadline:
            problems.append("waited in vain for " + what)
            return False
        if not context.iteration(False):
            time.sleep(0.01)
    return True


def find_application():
    found = []

    def look():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "quartzel":
                found.append(app)
                return True
        return False

    if not pump_until(look, "the program on the accessibility bus"):
        sys.exit("\n".join(problems))
    return found[0]


def descendants(accessible):
    for child in accessible:
        if child is not None:
            yield child
            yield from descendants(child)


def spoken(accessible):
    """A control as a screen reader names it: its role, and its label where it has one."""
    for relation in accessible.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            return "%s %s" % (accessible.getRoleName(), relation.getTarget(0).name)
    return "%s %s" % (accessible.getRoleName(), accessible.name)


def on_event(event):
    if event.type.startswith("object:state-changed:focused"):
        if event.detail1:
            events.append(("focus", spoken(event.source)))
    else:
        events.append(("value", event.source.name))


def press(key, expected_focus):
    del events[:]
    subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True)
    focused = lambda: [name for kind, name in events if kind == "focus"]
    pump_until(lambda: focused(), "the focus to move with " + key)
    expect("focus after " + key, focused()[-1:], [expected_focus])


def value_changes_after(key, settled):
    del events[:]
    subprocess.run(["xdotool", "key", "--clearmodifiers", key], check=True)
    pump_until(settled, "the strip to show the new frequency after " + key)
    # Later events of the same key would have arrived with the ones that settled it.
    return [name for kind, name in events if kind == "value" and name == "Frequency"]


app = find_application()
pyatspi.Registry.registerEventListener(
    on_event, "object:state-changed:focused", "object:property-change:accessible-value")
controls = list(descendants(app))
strip = next(a for a in controls if a.name == "Frequency")
places = ["100 MHz", "10 MHz", "1 MHz", "100 kHz", "10 kHz", "1 kHz", "100 Hz", "10 Hz", "1 Hz"]
expect("the strip's children", [(c.getRoleName(), c.name, c.queryValue().currentValue) for c in strip],
       [("spin button", p + " digit", float(d)) for p, d in zip(places, "014070000")])
expect("the strip", (strip.getRoleName(), strip.description, strip.queryValue().currentValue),
       ("panel", "14 070 000 Hz", 14070000.0))
expect("the port panel and the lamp",
       [spoken(a) for a in controls
        if a.getRoleName() in ("combo box", "push button", "radio button", "image")
        and a.getState().contains(pyatspi.STATE_SHOWING)],
       ["combo box Port:", "combo box BaudRate:", "push button Connect", "push button Disconnect",
        "radio button VFO", "radio button SDR", "image Reply lamp"])
lamp = next(a for a in controls if a.name == "Reply lamp")
pump_until(lambda: lamp.description == "dark", "the reply lamp to go dark after start")

# The keyboard alone: Tab from the port list through the panel, the digits and the mode button.
press("alt+p", "combo box Port:")
tab_order = ["combo box BaudRate:", "push button Connect"] + \
    ["spin button %s digit" % p for p in places] + ["radio button VFO", "combo box Port:"]
for expected in tab_order:
    press("Tab", expected)
press("alt+b", "combo box BaudRate:")
press("shift+Tab", "combo box Port:")
press("shift+Tab", "radio button VFO")
press("shift+Tab", "spin button 1 Hz digit")

# A step is one change of the strip's value, and a borrow that ripples over four digits too.
expect("strip changes for Up", value_changes_after(
    "Up", lambda: strip.queryValue().currentValue == 14070001.0), ["Frequency"])
expect("strip changes for two Down, the second borrowing", value_changes_after(
    "Down", lambda: strip.queryValue().currentValue == 14070000.0) + value_changes_after(
    "Down", lambda: strip.queryValue().currentValue == 14069999.0), ["Frequency", "Frequency"])
expect("the strip after the borrow", strip.description, "14 069 999 Hz")

if problems:
    sys.exit("\n".join(problems))
print("accessibility: names, values, Tab order and changes as expected")
