#!/usr/bin/python3
"""Writes examples/sample.dxf, the bundled example drawing (python3-ezdxf).

A small site in millimetres, all coordinates positive:
- layer 建物: four buildings as closed polylines at their roof elevations (one with a bulged
  side) and a free-standing wall drawn as a line with thickness;
- layer 敷地: the site outline;
- layer 測定点: measurement points as small circles with their number texts;
- layer 壁面: a wall line north of building A, for the wall shadows.
"""
import pathlib
import sys

import ezdxf

out = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).with_name("sample.dxf"))

doc = ezdxf.new("R2000")
doc.encoding = "cp932"
doc.header["$INSUNITS"] = 4  # millimetres
doc.header["$DIMSCALE"] = 200.0
doc.layers.add("建物", color=7)
doc.layers.add("敷地", color=3)
doc.layers.add("測定点", color=1)
msp = doc.modelspace()


def building(points, height, bulges=None):
    pl = msp.add_lwpolyline(
        [(x, y, 0, 0, (bulges or {}).get(i, 0)) for i, (x, y) in enumerate(points)],
        format="xyseb",
        close=True,
        dxfattribs={"layer": "建物", "elevation": height},
    )
    return pl


# A: three storeys, 12 m x 8 m.
building([(20000, 15000), (32000, 15000), (32000, 23000), (20000, 23000)], 9000)
# B: five storeys, L-shaped.
building([(38000, 12000), (52000, 12000), (52000, 18000), (44000, 18000), (44000, 26000),
          (38000, 26000)], 15000)
# C: two storeys with a curved south-east side (a bulge of a quarter circle).
building([(20000, 30000), (28000, 30000), (30000, 36000), (20000, 36000)], 6000,
         bulges={1: 0.2})
# D: an eight-storey tower.
building([(40000, 31000), (47000, 31000), (47000, 38000), (40000, 38000)], 24000)
# A free-standing wall, 2 m high: a line with thickness.
msp.add_line((10000, 10000, 0), (10000, 25000, 0), dxfattribs={"layer": "建物", "thickness": 2000})

# The site outline.
msp.add_lwpolyline([(5000, 5000), (60000, 5000), (60000, 45000), (5000, 45000)], close=True,
                   dxfattribs={"layer": "敷地"})

# Measurement points with their numbers.
for n, (x, y) in enumerate([(15000, 40000), (35000, 42000), (55000, 42000)], start=1):
    msp.add_circle((x, y), 300, dxfattribs={"layer": "測定点"})
    msp.add_text(str(n), height=500, dxfattribs={"layer": "測定点", "insert": (x + 400, y + 400)})
msp.add_text("サンプル敷地", height=800, dxfattribs={"layer": "敷地", "insert": (6000, 46000)})

# A wall line for the wall shadows (壁面): the neighbour's face 4 m north of building A, its
# height left to the command (the tallest building's, or --set a thickness).
doc.layers.add("壁面", color=5)
msp.add_line((18000, 27000, 0), (34000, 27000, 0), dxfattribs={"layer": "壁面"})

doc.saveas(out)
print(out)
