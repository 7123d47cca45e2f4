#!/usr/bin/env python3
"""Writes extreme.dxf: entities with numbers that are valid DXF but no drawing's building, which
the acquisition refuses by their handles (group pairs written one by one, DXF R12).

- LINE 10: a sane wall (0,0)-(1000,0), thickness 3000, on layer 0 with all the others.
- ARC 11: 0 to 1e12 degrees (an angle that no count of chords may follow).
- ARC 12: 0 to 1e6 degrees.
- ELLIPSE 13: parameters 0 to 1e17 (adding a step of 10 degrees never reaches the end).
- ELLIPSE 14: parameters 1e8 to 1e30.
- LINE 15: from (1e14, 0) (beyond any site; the outline's cells overflow there).
- CIRCLE 16: radius 1e12.
- POLYLINE 17: a side (0,0)-(1000,0) at elevation 3000 with the bulge 1e-300, an arc of radius
  about 1e303 that strays from the side by far less than the point tolerance: accepted as the
  straight side.
- LINE 18: thickness 1e12 along its normal.
"""
import pathlib

OUT = pathlib.Path(__file__).with_name("extreme.dxf")
groups = []


def g(code, value):
    groups.append((code, value))


def entity(kind, handle):
    g(0, kind)
    g(5, handle)
    g(8, "0")


g(0, "SECTION"); g(2, "HEADER")
g(9, "$ACADVER"); g(1, "AC1009")
g(0, "ENDSEC")
g(0, "SECTION"); g(2, "ENTITIES")
entity("LINE", "10"); g(39, "3000.0")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(11, "1000.0"); g(21, "0.0"); g(31, "0.0")
for handle, end in (("11", "1e12"), ("12", "1000000.0")):
    entity("ARC", handle)
    g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(40, "1000.0"); g(50, "0.0"); g(51, end)
for handle, start, end in (("13", "0.0", "1e17"), ("14", "1e8", "1e30")):
    entity("ELLIPSE", handle)
    g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(11, "2000.0"); g(21, "0.0"); g(31, "0.0")
    g(40, "0.5"); g(41, start); g(42, end)
entity("LINE", "15")
g(10, "1e14"); g(20, "0.0"); g(30, "0.0"); g(11, "1000.0"); g(21, "0.0"); g(31, "3000.0")
entity("CIRCLE", "16")
g(10, "0.0"); g(20, "0.0"); g(30, "3000.0"); g(40, "1e12")
entity("POLYLINE", "17"); g(66, "1"); g(10, "0.0"); g(20, "0.0"); g(30, "3000.0"); g(70, "0")
for i, (x, b) in enumerate(((0, "1e-300"), (1000, "0.0"))):
    g(0, "VERTEX"); g(5, f"{0x20 + i:X}"); g(8, "0")
    g(10, f"{x}.0"); g(20, "0.0"); g(30, "3000.0"); g(42, b)
g(0, "SEQEND"); g(5, "22"); g(8, "0")
entity("LINE", "18"); g(39, "1e12")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(11, "1000.0"); g(21, "0.0"); g(31, "0.0")
g(0, "ENDSEC")
g(0, "EOF")

OUT.write_bytes("".join(f"{code:>3}\r\n{value}\r\n" for code, value in groups).encode("ascii"))
