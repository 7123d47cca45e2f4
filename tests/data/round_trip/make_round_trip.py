#!/usr/bin/python3
"""Writes the round-trip corpus into the folder given (Debian's python3-ezdxf): one drawing per
version, R12, R2000, R2013 and R2018, each holding what a user's drawing holds besides the
buildings, so that a test can check that none of it is lost or changed by a save.

Every drawing: the buildings on layer 建物 (a closed polyline at elevation 9000, a line with
thickness 3000), a 3DFACE, a DIMENSION, a block with an ATTDEF and a reference with its ATTRIB,
polylines with widths, XDATA on a line, and paper space with a viewport and a text. From R2000
on also HATCH, MTEXT, LEADER, lineweight, an extension dictionary with an XRECORD, a second
layout, an ACAD_PROXY_ENTITY and an object of a class no reader knows (both written as raw
groups after ezdxf saved the file); from R2013 on a true colour. R12 in CP932 also comes
without handles and without a code page (r12_nohandles.dxf), as older programs write it.
"""
import pathlib
import re
import sys

import ezdxf

OUT = pathlib.Path(sys.argv[1])


def fill(doc):
    modern = doc.dxfversion > "AC1009"
    if modern:
        doc.header["$INSUNITS"] = 4  # millimetres
    for name, colour in (("建物", 7), ("寸法", 3), ("注記", 2)):
        doc.layers.add(name, color=colour)
    doc.appids.new("ZUKATEST")
    msp = doc.modelspace()
    b = {"layer": "建物"}
    square = [(0, 0), (10000, 0), (10000, 8000), (0, 8000)]
    if modern:
        msp.add_lwpolyline(square, close=True, dxfattribs={**b, "elevation": 9000})
    else:
        msp.add_polyline2d(square, close=True, dxfattribs={**b, "elevation": (0, 0, 9000)})
    wall = msp.add_line((20000, 0), (26000, 0), dxfattribs={**b, "thickness": 3000})
    wall.set_xdata("ZUKATEST", [(1000, "外部データ"), (1040, 3.5), (1070, 7)])

    msp.add_3dface([(0, 20000, 0), (5000, 20000, 0), (5000, 25000, 3000), (0, 25000, 3000)],
                   dxfattribs={"layer": "注記"})
    dim = msp.add_linear_dim(base=(0, -2000), p1=(0, 0), p2=(10000, 0),
                             dxfattribs={"layer": "寸法"})
    dim.render()
    if modern:
        msp.add_lwpolyline([(0, 30000, 50, 100), (4000, 30000, 100, 50), (4000, 34000, 0, 0)],
                           format="xyse", dxfattribs={"layer": "注記"})
        msp.add_lwpolyline([(6000, 30000), (9000, 30000)], dxfattribs={"layer": "注記",
                                                                     "const_width": 30})
    pl = msp.add_polyline2d([(0, 40000), (3000, 40000), (3000, 43000)],
                            dxfattribs={"layer": "注記"})
    for v in pl.vertices:
        v.dxf.start_width = 20
        v.dxf.end_width = 60

    title = doc.blocks.new("表題")
    title.add_line((0, 0), (3000, 0))
    title.add_attdef("NAME", (0, 100), dxfattribs={"height": 250, "prompt": "図名"})
    ref = msp.add_blockref("表題", (30000, 0), dxfattribs={"layer": "注記"})
    ref.add_attrib("NAME", "配置図", (30000, 100), dxfattribs={"height": 250})
    msp.add_text("日影図の検討", dxfattribs={"layer": "注記", "height": 300,
                                        "insert": (0, -5000)})

    psp = doc.layouts.active_layout()
    if modern:
        psp.add_viewport(center=(150, 100), size=(200, 150), view_center_point=(5000, 4000),
                         view_height=20000)
    psp.add_text("表題欄", dxfattribs={"height": 5, "insert": (10, 10)})
    psp.add_line((0, 0), (420, 0))

    if modern:
        hatch = msp.add_hatch(color=4, dxfattribs={"layer": "注記"})
        hatch.paths.add_polyline_path([(0, 50000), (3000, 50000), (3000, 53000)],
                                      is_closed=True)
        msp.add_mtext("複数行の\\P注記", dxfattribs={"layer": "注記", "char_height": 300,
                                                 "insert": (0, 60000)})
        msp.add_leader([(0, 70000), (2000, 72000), (4000, 72000)], dxfattribs={"layer": "注記"})
        heavy = msp.add_line((0, 80000), (5000, 80000), dxfattribs={"lineweight": 50})
        xdict = heavy.new_extension_dict()
        xdict.add_xrecord("ZUKA_NOTE").reset([(1, "拡張辞書"), (40, 1.5)])
        sheet = doc.layouts.new("配置図")
        sheet.add_viewport(center=(150, 100), size=(200, 150),
                           view_center_point=(20000, 0), view_height=30000)
        sheet.add_line((0, 0), (100, 100))
    if doc.dxfversion >= "AC1018":
        msp.add_circle((0, 90000), 500, dxfattribs={"true_color": 0x1E90FF})


def raw(groups):
    return "".join(f"{code:>3}\n{value}\n" for code, value in groups)


def inject(path, doc):
    """Adds a proxy entity to model space and an object of an unknown class."""
    text = path.read_text(encoding=doc.output_encoding)
    msp_owner = doc.modelspace().block_record_handle
    proxy = raw([(0, "ACAD_PROXY_ENTITY"), (5, doc.entitydb.next_handle()), (330, msp_owner),
                 (100, "AcDbEntity"), (8, "注記"), (100, "AcDbProxyEntity"), (90, 498),
                 (91, 500), (95, 0), (70, 0), (92, 0), (93, 0), (94, 0)])
    root = doc.rootdict.dxf.handle
    custom = raw([(0, "ZUKA_CUSTOM_OBJECT"), (5, doc.entitydb.next_handle()), (330, root),
                  (100, "ZukaCustomData"), (1, "何かのデータ"), (90, 42), (10, 1.5), (20, 2.5),
                  (30, 0.0)])
    # The end of ENTITIES: the ENDSEC before the OBJECTS section.
    at = text.index("  0\nSECTION\n  2\nOBJECTS\n")
    end = text.rindex("  0\nENDSEC\n", 0, at)
    text = text[:end] + proxy + text[end:]
    eof = text.rindex("  0\nENDSEC\n")
    text = text[:eof] + custom + text[eof:]
    seed = doc.entitydb.next_handle()
    text = re.sub(r"(\$HANDSEED\n  5\n)[0-9A-Fa-f]+", lambda m: m.group(1) + seed, text, count=1)
    path.write_bytes(text.encode(doc.output_encoding))


def without_handles(src, dst):
    """The R12 drawing as older Japanese programs write it: no handles, no $HANDSEED, and no
    code page named for its CP932 text."""
    lines = src.read_bytes().split(b"\n")
    out = []
    i = 0
    while i + 1 < len(lines):
        code, value = lines[i].strip(), lines[i + 1]
        if code in (b"5", b"105"):
            i += 2
            continue
        if code == b"9" and value.strip() in (b"$HANDSEED", b"$HANDLING", b"$DWGCODEPAGE"):
            i += 4
            continue
        out += [lines[i], value]
        i += 2
    dst.write_bytes(b"\n".join(out) + b"\n")


for name, version in (("r12", "R12"), ("r2000", "R2000"), ("r2013", "R2013"),
                      ("r2018", "R2018")):
    doc = ezdxf.new(version, setup=True)
    if version in ("R12", "R2000"):
        doc.encoding = "cp932"
    fill(doc)
    path = OUT / f"{name}.dxf"
    doc.saveas(path)
    if version != "R12":
        inject(path, doc)
    else:
        without_handles(path, OUT / "r12_nohandles.dxf")
