// Deemed boundary lines (みなし境界線): the lines 5 m and 10 m outside a site from which the
// shadow regulation measures. The site is the outer outline of the segments picked for it;
// each line runs parallel to the site's sides at the distance, goes round every outward corner
// on an arc centred on the corner, and is cut at the crossing of the two parallels at an
// inward corner. Where that construction would cross itself (an inward corner next to a side
// shorter than d tan(a / 2), a notch narrower than 2d, two parts of the site closer than 2d),
// the line is the outer boundary of the site grown by d instead.
//
// Glossary: kyoukaisen boundary line, minashi deemed, shikichi site, hankei radius.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/run_context.h"
#include "cad/dxf_text.h"
#include "geom/workspace.h"

namespace zuka {

// The distances of the two lines, drawing units (mm).
inline constexpr double kKyoukaiDistances[2] = {5000, 10000};

// One vertex of a line; the bulge (tan of a quarter of the arc's angle, counter-clockwise
// positive) belongs to the piece from this vertex to the next, and is written only for arcs.
struct TKyoukaiVertex {
    double x = 0;
    double y = 0;
    bool arc = false;
    double bulge = 0;
};

// A closed line, its vertices in order (counter-clockwise).
struct TKyoukaiLine {
    std::vector<TKyoukaiVertex> vertices;
    bool envelope = false;  // the construction would have crossed itself
};

// The line at distance d outside one site outline (as traced: closed, counter-clockwise, the
// first segment starting at the lowest point of the leftmost x). The construction uses
// AryLineBuf and AryArc (the arcs are appended to AryArc, so that the arcs of a later line
// follow those of an earlier one). When `stop` asks to stop, the line is left half made; the
// caller asks `stop`.
TKyoukaiLine KyoukaiLine(const std::vector<TLineEnt>& outline, double d, Workspace& ws,
                         const RunContext* stop = nullptr);

// The area enclosed by a line, its arcs included.
double KyoukaiArea(const TKyoukaiLine& line);

// The line as a closed polygon (the last vertex not repeating the first), its arcs as chords
// that stray at most `sagitta` (drawing units) from them.
std::vector<TAcadPoint> KyoukaiPolygon(const TKyoukaiLine& line, double sagitta);

// The line as one closed POLYLINE (bulges on its arc vertices) on `layer`, appended to `dxf`;
// `head` adds a linetype or colour.
void WriteKyoukaiLine(DxfList& dxf, const TKyoukaiLine& line, const std::string& layer,
                      const TDxfPolyline& head = {});

enum class KyoukaisenStatus {
    TooFew,  // fewer than 3 segments: nothing is drawn, nothing said
    Failed,  // no closed site outline: nothing is drawn
    Drawn,
    Stopped,  // the run was asked to stop: nothing is drawn, nothing said
};

struct TKyoukaisenResult {
    KyoukaisenStatus status = KyoukaisenStatus::TooFew;
    int sites = 0;            // site outlines with lines
    bool walkFailed = false;  // a later outline could not be traced (the ones before it are drawn)
    int envelopes = 0;        // lines taken as the grown site's boundary
    // Per site its outline (closed, counter-clockwise) and its lines at kKyoukaiDistances.
    std::vector<std::vector<TLineEnt>> siteOutlines;
    std::vector<std::array<TKyoukaiLine, 2>> lines;
};

// From the segments in AryLine (the converted selection): the outline of every site in the
// selection, and for each site its 5 m line and then its 10 m line as closed POLYLINEs on
// layer "0", appended to `dxf` after the file start without tables (the caller ends, saves and
// inserts the file). On success AryLine, AryLineBuf and AryArc are left empty; on a failed
// outline AryLine keeps what the walk produced. `run` is asked whether to stop as the
// outlines are traced and the lines made.
TKyoukaisenResult MakeKyoukaisen(Workspace& ws, DxfList& dxf, RunContext& run = QuietRun());

}  // namespace zuka
