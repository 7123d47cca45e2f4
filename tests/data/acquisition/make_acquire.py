#!/usr/bin/python3
"""Writes acquire.dxf, the fixture of the building acquisition (Debian's python3-ezdxf).

Layer 建物 holds one entity of each kind the acquisition converts; what each becomes:
- CIRCLE (10000,10000) r 1000: 35 chords;
- ARC (20000,10000) r 1000 from 350 to 10 degrees: 2 chords and a zero-length end;
- LWPOLYLINE closed square of 2000 at elevation 0, thickness 3000: 4 segments a side (16);
- ELLIPSE (30000,10000), major axis (2000,0), ratio 0.5, full: 36 chords;
- LINE (40000,10000)-(45000,10000), thickness 3000: base, top, two verticals (4);
- LWPOLYLINE closed rectangle at elevation 10000: 4 segments at z 10000.
Total 98 segments, highest z 10000. Also on 建物 and ignored: a TEXT, an INSERT of block B1, a
HATCH. Layer 負 holds a LINE at negative x (handle given by ezdxf; select it by layer).
"""
import pathlib

import ezdxf

out = pathlib.Path(__file__).with_name("acquire.dxf")
doc = ezdxf.new("R2000")
doc.encoding = "cp932"
doc.header["$INSUNITS"] = 4  # millimetres
doc.layers.add("建物")
doc.layers.add("負")
msp = doc.modelspace()
a = {"layer": "建物"}
msp.add_circle((10000, 10000), 1000, dxfattribs=a)
msp.add_arc((20000, 10000), 1000, 350, 10, dxfattribs=a)
msp.add_lwpolyline([(0, 20000), (2000, 20000), (2000, 22000), (0, 22000)], close=True,
                   dxfattribs={**a, "thickness": 3000})
msp.add_ellipse((30000, 10000), major_axis=(2000, 0), ratio=0.5, dxfattribs=a)
msp.add_line((40000, 10000), (45000, 10000), dxfattribs={**a, "thickness": 3000})
msp.add_lwpolyline([(10000, 20000), (16000, 20000), (16000, 24000), (10000, 24000)], close=True,
                   dxfattribs={**a, "elevation": 10000})
msp.add_text("建物A", height=500, dxfattribs={**a, "insert": (10000, 25000)})
blk = doc.blocks.new("B1")
blk.add_line((0, 0), (100, 0))
msp.add_blockref("B1", (50000, 0), dxfattribs=a)
hatch = msp.add_hatch(color=2, dxfattribs=a)
hatch.paths.add_polyline_path([(0, 0), (100, 0), (100, 100)], is_closed=True)
msp.add_line((-5000, 0), (-1000, 0), dxfattribs={"layer": "負"})
doc.saveas(out)
print(out)
