#!/usr/bin/env python3
"""Writes kinds.dxf, the drawing host's fixture: one entity of each kind the host reads, as
group pairs written out one by one (no DXF library), DXF R2000 in code page 932.

Values worth knowing when reading the tests:
- LINE 1A on layer 建物: (0,0,0)-(1000,0,0), thickness 3000.
- CIRCLE 1B: centre (500,500,0) in the object system of the normal (0,0,-1), radius 100;
  in world coordinates the centre is (-500,500,0).
- ARC 1C: centre (0,0,0), radius 50, 30 to 120 degrees, thickness 200.
- ELLIPSE 1D: centre (100,200,0), major axis (300,0,0), ratio 0.5, parameters 0 to 2*pi.
- LWPOLYLINE 1E: closed, elevation 9000, thickness 100, (0,0) (1000,0) (1000,500) (0,500),
  bulge 0.5 after the second vertex.
- POLYLINE 1F (2D): closed, elevation 500, (0,0) (10,0) (10,10), bulge 1 after the first.
- POLYLINE 25 (3D): open, (0,0,0) (10,0,5) (10,10,8).
- TEXT 2A on layer 測定点: "日本語テキスト" at (10,20,0), height 250, rotation 90.
- TEXT 2E: "\\U+2460 and \\M+1889F", which reads as "① and 亜".
- INSERT 2B of block BOX at (5000,5000,0), scale 2, rotation 90; BOX holds a LINE (0,0)-(10,0)
  and a CIRCLE at (0,0) radius 5.
- HATCH 2C: a type the host keeps without geometry.
- LINE 2D in paper space (67 = 1): left out.
"""
import pathlib

OUT = pathlib.Path(__file__).with_name("kinds.dxf")

groups = []


def g(code, value):
    groups.append((code, value))


def entity(kind, handle, layer="0"):
    g(0, kind)
    g(5, handle)
    g(330, "1F0")
    g(100, "AcDbEntity")
    g(8, layer)


def section(name):
    g(0, "SECTION")
    g(2, name)


g(999, "drawing host fixture")
section("HEADER")
g(9, "$ACADVER"); g(1, "AC1015")
g(9, "$DWGCODEPAGE"); g(3, "ANSI_932")
g(9, "$INSBASE"); g(10, "0.0"); g(20, "0.0"); g(30, "0.0")
g(9, "$DIMSCALE"); g(40, "200.0")
g(9, "$CLAYER"); g(8, "建物")
g(0, "ENDSEC")

section("TABLES")
g(0, "TABLE"); g(2, "LTYPE"); g(70, "4")
for name, desc, dashes in (("ByBlock", "", []), ("ByLayer", "", []),
                           ("Continuous", "Solid line", []),
                           ("HIDDEN2", "Hidden (.5x) _ _ _", [3.175, -1.5875])):
    g(0, "LTYPE"); g(2, name); g(70, "0"); g(3, desc); g(72, "65"); g(73, str(len(dashes)))
    g(40, str(sum(abs(d) for d in dashes)))
    for d in dashes:
        g(49, str(d))
g(0, "ENDTAB")
g(0, "TABLE"); g(2, "LAYER"); g(70, "3")
for name, colour, lt in (("0", 7, "Continuous"), ("建物", 1, "Continuous"), ("測定点", 3, "HIDDEN2")):
    g(0, "LAYER"); g(2, name); g(70, "0"); g(62, str(colour)); g(6, lt)
g(0, "ENDTAB")
g(0, "TABLE"); g(2, "STYLE"); g(70, "1")
g(0, "STYLE"); g(2, "Standard"); g(70, "0"); g(40, "0.0"); g(41, "1.0"); g(50, "0.0"); g(71, "0")
g(42, "2.5"); g(3, "txt"); g(4, "bigfont.shx")
g(0, "ENDTAB")
g(0, "ENDSEC")

section("BLOCKS")
g(0, "BLOCK"); g(5, "20"); g(8, "0"); g(2, "*Model_Space"); g(70, "0")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(3, "*Model_Space")
g(0, "ENDBLK"); g(5, "21"); g(8, "0")
g(0, "BLOCK"); g(5, "22"); g(67, "1"); g(8, "0"); g(2, "*Paper_Space"); g(70, "0")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(3, "*Paper_Space")
g(0, "ENDBLK"); g(5, "23"); g(67, "1"); g(8, "0")
g(0, "BLOCK"); g(5, "30"); g(8, "0"); g(2, "BOX"); g(70, "0")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(3, "BOX")
entity("LINE", "31"); g(100, "AcDbLine")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(11, "10.0"); g(21, "0.0"); g(31, "0.0")
entity("CIRCLE", "32"); g(100, "AcDbCircle")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(40, "5.0")
g(0, "ENDBLK"); g(5, "33"); g(8, "0")
g(0, "ENDSEC")

section("ENTITIES")
entity("LINE", "1A", "建物"); g(100, "AcDbLine"); g(39, "3000.0")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(11, "1000.0"); g(21, "0.0"); g(31, "0.0")

entity("CIRCLE", "1B"); g(100, "AcDbCircle")
g(10, "500.0"); g(20, "500.0"); g(30, "0.0"); g(40, "100.0")
g(210, "0.0"); g(220, "0.0"); g(230, "-1.0")

entity("ARC", "1C"); g(100, "AcDbCircle"); g(39, "200.0")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(40, "50.0")
g(100, "AcDbArc"); g(50, "30.0"); g(51, "120.0")

entity("ELLIPSE", "1D"); g(100, "AcDbEllipse")
g(10, "100.0"); g(20, "200.0"); g(30, "0.0"); g(11, "300.0"); g(21, "0.0"); g(31, "0.0")
g(210, "0.0"); g(220, "0.0"); g(230, "1.0"); g(40, "0.5"); g(41, "0.0"); g(42, "6.283185307179586")

entity("LWPOLYLINE", "1E", "建物"); g(100, "AcDbPolyline"); g(90, "4"); g(70, "1")
g(38, "9000.0"); g(39, "100.0")
for x, y, b in ((0, 0, 0), (1000, 0, 0.5), (1000, 500, 0), (0, 500, 0)):
    g(10, f"{x}.0"); g(20, f"{y}.0")
    if b:
        g(42, str(b))

entity("POLYLINE", "1F"); g(100, "AcDb2dPolyline"); g(66, "1")
g(10, "0.0"); g(20, "0.0"); g(30, "500.0"); g(70, "1")
for i, (x, y, b) in enumerate(((0, 0, 1), (10, 0, 0), (10, 10, 0))):
    g(0, "VERTEX"); g(5, f"{0x40 + i:X}"); g(330, "1F"); g(100, "AcDbEntity"); g(8, "0")
    g(100, "AcDbVertex"); g(100, "AcDb2dVertex")
    g(10, f"{x}.0"); g(20, f"{y}.0"); g(30, "500.0")
    if b:
        g(42, str(b))
    g(70, "0")
g(0, "SEQEND"); g(5, "43"); g(330, "1F"); g(100, "AcDbEntity"); g(8, "0")

entity("POLYLINE", "25"); g(100, "AcDb3dPolyline"); g(66, "1")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(70, "8")
for i, (x, y, z) in enumerate(((0, 0, 0), (10, 0, 5), (10, 10, 8))):
    g(0, "VERTEX"); g(5, f"{0x50 + i:X}"); g(330, "25"); g(100, "AcDbEntity"); g(8, "0")
    g(100, "AcDbVertex"); g(100, "AcDb3dPolylineVertex")
    g(10, f"{x}.0"); g(20, f"{y}.0"); g(30, f"{z}.0"); g(70, "32")
g(0, "SEQEND"); g(5, "53"); g(330, "25"); g(100, "AcDbEntity"); g(8, "0")

entity("TEXT", "2A", "測定点"); g(100, "AcDbText")
g(10, "10.0"); g(20, "20.0"); g(30, "0.0"); g(40, "250.0"); g(1, "日本語テキスト"); g(50, "90.0")
g(100, "AcDbText")

entity("TEXT", "2E"); g(100, "AcDbText")
g(10, "0.0"); g(20, "-100.0"); g(30, "0.0"); g(40, "10.0"); g(1, "\\U+2460 and \\M+1889F")
g(100, "AcDbText")

entity("INSERT", "2B"); g(100, "AcDbBlockReference"); g(2, "BOX")
g(10, "5000.0"); g(20, "5000.0"); g(30, "0.0"); g(41, "2.0"); g(42, "2.0"); g(43, "2.0")
g(50, "90.0")

entity("HATCH", "2C"); g(100, "AcDbHatch")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(210, "0.0"); g(220, "0.0"); g(230, "1.0")
g(2, "SOLID"); g(70, "1"); g(71, "0"); g(91, "0"); g(75, "0"); g(76, "1"); g(98, "0")

g(0, "LINE"); g(5, "2D"); g(330, "1F1"); g(100, "AcDbEntity"); g(67, "1"); g(8, "0")
g(100, "AcDbLine")
g(10, "0.0"); g(20, "0.0"); g(30, "0.0"); g(11, "1.0"); g(21, "1.0"); g(31, "0.0")
g(0, "ENDSEC")
g(0, "EOF")

text = "".join(f"{code:>3}\r\n{value}\r\n" for code, value in groups)
OUT.write_bytes(text.encode("cp932"))
