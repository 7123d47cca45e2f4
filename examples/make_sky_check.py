#!/usr/bin/python3
"""Writes examples/sky_check.dxf and sky_check_corner.dxf, the sky-factor verdict examples
(python3-ezdxf).

The regulation note's first case, in millimetres: a site 20 m x 15 m (layer 敷地) on a 6 m
road along its south side (the road boundary, layer 道路境界), zone 1住 with FAR 200 %, and a
planned box 12 m x 9 m, 19 m high (layer 建物), set 4 m in from the sides and 3 m from the road.

sky_check_corner.dxf, the note's two-road case: a corner site 30 m x 25 m with a 12 m road along
its south side (layer 道路A) and a 6 m road along its west side (layer 道路B), zone 商業 with
FAR 400 %, and an L-shaped planned building 30 m high (layer 建物) reaching both roads' ranges.
"""
import pathlib
import sys

import ezdxf

out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).with_name("sky_check.dxf"))

doc = ezdxf.new("R2000")
doc.encoding = "cp932"
doc.header["$INSUNITS"] = 4  # millimetres
doc.layers.add("建物", color=7)
doc.layers.add("敷地", color=3)
doc.layers.add("道路境界", color=1)
msp = doc.modelspace()
msp.add_lwpolyline([(0, 0), (20000, 0), (20000, 15000), (0, 15000)], close=True,
                   dxfattribs={"layer": "敷地"})
msp.add_line((0, 0), (20000, 0), dxfattribs={"layer": "道路境界"})
msp.add_lwpolyline([(4000, 3000), (16000, 3000), (16000, 12000), (4000, 12000)], close=True,
                   dxfattribs={"layer": "建物", "elevation": 19000})
doc.saveas(out)

doc = ezdxf.new("R2000")
doc.encoding = "cp932"
doc.header["$INSUNITS"] = 4
for name, colour in (("建物", 7), ("敷地", 3), ("道路A", 1), ("道路B", 1)):
    doc.layers.add(name, color=colour)
msp = doc.modelspace()
msp.add_lwpolyline([(0, 0), (30000, 0), (30000, 25000), (0, 25000)], close=True,
                   dxfattribs={"layer": "敷地"})
msp.add_line((0, 0), (30000, 0), dxfattribs={"layer": "道路A"})
msp.add_line((0, 0), (0, 25000), dxfattribs={"layer": "道路B"})
msp.add_lwpolyline([(4000, 4000), (26000, 4000), (26000, 10000), (10000, 10000), (10000, 22000),
                    (4000, 22000)], close=True, dxfattribs={"layer": "建物", "elevation": 30000})
doc.saveas(out.with_name("sky_check_corner.dxf"))
