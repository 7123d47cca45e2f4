#include "sky/outline_factor.h"

#include <cmath>
#include <cstddef>

#include "base/number.h"
#include "geom/primitives.h"
#include "sky/sky_map.h"
#include "sky/triangle.h"

namespace zuka {
double MentakaToMm(std::string_view mentaka) { return ParseDouble(mentaka).value_or(0) * 1000; }

int TenkuRecalcType(double radiusA, double radiusB) { return radiusA > radiusB ? 0 : 1; }

bool GetTenkuLine(Workspace& ws, const TTenkuRituParams& p, RunContext* progress, bool* enclosed) {
    const double r = p.radius * p.scale;
    const double g = kHalfPi - p.kitaDeg * kPi / 180;
    const bool open =
        ProjectTenkuzu(ws.AryTatemono, p.point, p.mentakaMm, r, g, ws, nullptr, progress);
    if (progress && progress->StopRequested()) {
        ws.AryLine.clear();
        return false;
    }
    if (enclosed) *enclosed = !open;
    if (!open) {
        ws.AryLine.clear();
        return false;
    }
    if (ws.AryLine.empty()) return true;  // nothing stands above the plane: the whole sky
    if (ws.AryLine.size() <= 2) return false;
    return TraceTenkuOutline(ws, progress);
}

double PolygonArea(const std::vector<TAcadPoint>& pts) { return std::fabs(SignedArea(pts)); }

bool GetTenkuRitu(Workspace& ws, const TTenkuRituParams& p, double& naisetu, double& gaisetu,
                  double& areacmd, const TenkuAreaFn& cadArea) {
    const double r = p.radius * p.scale;
    const double paperR = r / p.scale;
    const double circle = RoundByFormat(paperR * paperR * kPi, 3);
    naisetu = 0;
    gaisetu = 0;
    if (ws.AryLine.empty()) {
        naisetu = gaisetu = areacmd = 100;
        return true;
    }

    double area = 0;
    if (ws.AryLine.size() >= 3 && cadArea) {
        std::vector<TAcadPoint> pts;
        for (const TLineEnt& s : ws.AryLine) pts.push_back(s.st);
        if (const std::optional<double> a = cadArea(pts)) {
            area = RoundByFormat(*a / (p.scale * p.scale), 3);
        }
    }
    areacmd = RoundByFormat((circle - area) / circle * 100, 3);

    bool ok = false;
    // Every joint turning by less than 178.2° is a corner here, one that turns back included.
    // Both triangle sets stand on the same corners and division points.
    if (std::optional<TSansyaResult> inner = DivideSansya(ws.AryLine, r, p.scale, true)) {
        TSansyaResult outer = *inner;
        MeasureSansyaTriangles(*inner, ws.AryLine, r, p.scale, false);
        MeasureSansyaTriangles(outer, ws.AryLine, r, p.scale, true);
        naisetu = inner->tenkuRitu;
        gaisetu = outer.tenkuRitu;
        ok = !inner->triangles.empty() && !outer.triangles.empty();
    }
    ws.AryLine.clear();
    return ok;
}

}  // namespace zuka
