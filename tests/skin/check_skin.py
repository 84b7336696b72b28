#!/usr/bin/env python3
"""Checks the embedded skin with a real XML parser: the structure the host
expects (root, controls, their order, positions and actions) and the exact
bytes against the reviewed copy kept beside this script.
Usage: check_skin.py SKIN_XML REVIEWED_XML"""
import sys
import xml.etree.ElementTree as ET

skin_path, reviewed_path = sys.argv[1], sys.argv[2]
raw = open(skin_path, "rb").read()
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


check(raw == open(reviewed_path, "rb").read(), "bytes differ from the reviewed copy")
check(raw.isascii(), "not plain ASCII")
check(b"\r" not in raw and raw.endswith(b"</Skin>\n"), "line ends or ending")

root = ET.fromstring(raw)
check(root.tag == "Skin", "root is not Skin")
check(list(root.attrib.items()) == [("name", "Orvalink Now Playing"), ("version", "8"),
                                    ("width", "400"), ("height", "260")], "root attributes")
check([c.tag for c in root] == ["Copyright", "button", "textzone", "textzone", "textzone",
                                "textzone", "textzone", "panel", "button"], "root children")


def geometry(element):
    pos, size = element.find("pos"), element.find("size")
    return (list(pos.attrib.items()), list(size.attrib.items()))


def xy(x, y):
    return [("x", x), ("y", y)]


def wh(w, h):
    return [("width", w), ("height", h)]


children = list(root)
switch, status, title, artist, automix, other_deck, panel, gear = children[1:]
check(switch.get("action") == "effect_button 2", "switch action")
check(geometry(switch) == (xy("314", "10"), wh("74", "24")), "switch geometry")
check([(c.tag, c.get("y")) for c in switch if c.tag not in ("tooltip", "pos", "size")] ==
      [("up", "+0"), ("selected", "+260"), ("over", "+0"), ("overselected", "+260"),
       ("down", "+260")], "switch states")
for zone, pos, size, action in [
        (status, xy("14", "54"), wh("372", "16"), "get_effect_string"),
        (title, xy("14", "96"), wh("372", "28"), "deck master get_loaded_song 'title'"),
        (artist, xy("14", "127"), wh("372", "18"), "deck master get_loaded_song 'artist'"),
        (automix, xy("14", "198"), wh("372", "16"), "get_automix_song 'title'")]:
    check(geometry(zone) == (pos, size), "geometry of " + action)
    check(zone.find("text").get("action") == action, "action " + action)
check(automix.get("visibility") == "automix", "automix visibility")
check(other_deck.get("visibility") == "automix ? false : true", "other-deck visibility")
check(panel.get("visibility") == "var '$zvknp_settings'", "panel visibility")
check(list(panel.find("image").attrib.items()) ==
      [("x", "0"), ("y", "520"), ("width", "400"), ("height", "260")], "panel image")
paste = panel.find("button")
check(paste.get("action") == "effect_button 1", "paste action")
check(geometry(paste) == (xy("14", "159"), wh("92", "28")), "paste geometry")
check(panel.find("textzone/text").get("action") == "get_effect_string", "second status line")
check(gear.get("action") == "toggle '$zvknp_settings'", "gear action")
check(geometry(gear) == (xy("358", "221"), wh("32", "32")), "gear geometry")

if failures:
    print("skin check failed:", *failures, sep="\n  ")
    sys.exit(1)
print("skin ok: %d bytes, %d controls" % (len(raw), len(children) - 1))
