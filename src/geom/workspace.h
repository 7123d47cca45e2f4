// The program-wide lists and the values of the outline pipeline, held in one value that the
// controller owns and passes by reference.
#pragma once

#include <vector>

#include "geom/records.h"

namespace zuka {

struct Workspace {
    std::vector<TLineEnt> AryLine;        // general line list: segments, then a traced outline
    std::vector<TLineEnt> AryLine2;       // segments split at intersections and cleaned
    std::vector<TLineEnt> AryTatemono;    // the building model (written only by acquisition)
    std::vector<TArcEnt> AryArc;          // arcs awaiting conversion
    std::vector<TCircleEnt> AryCircle;    // circles awaiting conversion
    std::vector<TEllipseEnt> AryEllipse;  // ellipses awaiting conversion
    std::vector<TLwpEnt> AryLwp;          // polyline headers
    std::vector<TLwpEle> AryLwpEle;       // vertices of all polylines, in reading order
    std::vector<TTempPoint> AryTempPoint; // picked points; scratch of the intersection split
    std::vector<TLineEnt> AryLineTmp;     // scratch
    std::vector<TLineEnt> AryLineBuf;     // scratch of compaction and the wall routines
    std::vector<TTateiti> AryTateiti;     // rows of the building position table

    TAcadPoint OutlineMinPt;    // (min x, min y) of AryLine2's end points
    TAcadPoint OutlinePrevPt;   // the previous point the walk starts with
    TAcadPoint OutlineStartPt;  // start and goal of the walk
    double MaxSpan = 0;         // largest end-point distance in AryLine (callers scale by 1000)

    double gbzmax = 0;  // largest end-point height of the building model, mm

    // Empties the entity lists that await conversion; leaves AryLine, AryLwpEle, AryTatemono
    // and the point list alone.
    void ClearAryEnt() {
        AryArc.clear();
        AryCircle.clear();
        AryEllipse.clear();
        AryLwp.clear();
        AryLineTmp.clear();
    }
};

}  // namespace zuka
