// Entity records: plain values copied by value, no behaviour.
//
// Glossary: atumi thickness, hankei radius, henpei ellipse ratio, kaisi/owari start/end,
// takasa height, teihen base, menseki area, kyori distance, houido azimuth, miagedo elevation.
// Drawing units are millimetres; the ground is z = 0.
#pragma once

#include <string>

namespace zuka {

// A 3D point or vector.
struct TAcadPoint {
    double x = 0;
    double y = 0;
    double z = 0;
};

// A straight segment, the universal element of every line list. In the building model each
// segment is the top edge of a vertical wall standing on the ground.
struct TLineEnt {
    int id = 0;            // work mark: 0 keep, -1/-2 drop; never an identifier across operations
    TAcadPoint st;         // start point
    TAcadPoint ed;         // end point
    double atumi = 0;      // thickness along code210; 0 once part of the building model
    TAcadPoint code210;    // extrusion direction (DXF group 210)
};

struct TCircleEnt {
    std::string hand;      // handle of the entity in the CAD (of the polyline for a bulge)
    TAcadPoint center;
    double hankei = 0;     // radius
    double atumi = 0;      // thickness (read, not used by the conversion)
    TAcadPoint code210;    // normal of the circle's plane
};

struct TArcEnt {
    std::string hand;      // handle of the entity in the CAD (of the polyline for a bulge)
    TAcadPoint center;
    double hankei = 0;
    double stdeg = 0;      // start angle, degrees, counter-clockwise in the arc's plane
    double eddeg = 0;      // end angle; the arc runs counter-clockwise from stdeg to eddeg
    double atumi = 0;
    TAcadPoint code210;
};

struct TEllipseEnt {
    std::string hand;      // handle of the entity in the CAD (of the polyline for a bulge)
    TAcadPoint center;
    TAcadPoint endpoint;   // centre to end of the major axis (DXF group 11)
    double henpei = 0;     // minor / major axis ratio
    double kaisi = 0;      // start parameter, degrees
    double owari = 0;      // end parameter, degrees
    TAcadPoint code210;
};

// One polyline header; its vertices carry the same handle.
struct TLwpEnt {
    std::string hand;      // entity handle in the CAD
    int code70 = 0;        // 1 closed, 0 open
    double code38 = 0;     // elevation
    double code39 = 0;     // thickness as read
    double atumi = 0;      // thickness used for extrusion
    TAcadPoint code210;
};

// One polyline vertex.
struct TLwpEle {
    std::string hand;      // handle of the owning polyline
    TAcadPoint code10;     // vertex; z = elevation for plane polylines
    double code42 = 0;     // bulge of the segment starting here (tan of a quarter of the angle)
};

// A point picked by the user (specific point or measurement point).
struct TTempPoint {
    int id = 0;            // 0 keep, -1 drop (duplicate)
    TAcadPoint pt;         // the point; z = its height
    std::string Name;      // its label; empty = none
};

// One triangle of the triangle-area table.
struct TSansya {
    int no = 0;
    double teihen = 0;
    double takasa = 0;
    double menseki = 0;
};

// One row of the building position table.
struct TTateiti {
    int no = 0;
    double kyori = 0;
    double takasa = 0;
    double houido = 0;
    double miagedo = 0;
    double rcosh = 0;
};

}  // namespace zuka
