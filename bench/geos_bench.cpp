// The outline union against GEOS (libgeos, C API; benchmark only) on the very same shadow
// pieces, in one run: for each instant, the footprints and the wall quadrilaterals (the
// polygons whose edges the time-of-day diagram throws into its line list) are unioned by
// GEOSUnaryUnion and by the outline pipeline (merge, split, duplicates, every outline).
//
// Arguments: 0 the district of 40 buildings and 1 the city block of 400, each at the 17
// instants of 8:00-16:00 every 30 minutes (winter, 36 degrees north, 4 m plane); 2 the
// 8,000-segment soup. BM_UnionVersusGeosScaling: city blocks of 40 to 400 buildings. Times are the
// thread's processor time (the machine is shared), the best of three rounds. Counters: zuka_s and
// geos_s for all instants, ratio = zuka_s / geos_s, the outlines traced against the outer outlines
// of GEOS's union, and the area inside the traced outlines against the area inside those (1 when
// they agree).
#include <benchmark/benchmark.h>
#include <geos_c.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "district.h"
#include "geom/outline.h"
#include "geom/primitives.h"
#include "shadow/time_of_day.h"
#include "shadow_soup.h"
#include "solar/sun_model.h"

namespace zuka::bench {
namespace {

using TRing = std::vector<TAcadPoint>;

double RingArea(const TRing& r) { return std::fabs(SignedArea(r)); }

// One instant: the line list of the time-of-day diagram and the same pieces as polygons.
struct TInstant {
    std::vector<TLineEnt> soup;
    std::vector<TRing> polygons;
};

// The footprint of each building (its walls chained end to end until the ring closes) and the
// quadrilateral of each wall that stands above the plane.
TInstant MakeInstant(const std::vector<TLineEnt>& walls, double dir, double factor, double h) {
    TInstant in;
    in.soup = ShadowSoupOf(walls, dir, factor, h);
    for (std::size_t k = 0; k < walls.size();) {
        TRing ring{walls[k].st};
        std::size_t j = k;
        while (j + 1 < walls.size() && SamePoint2D(walls[j].ed, walls[j + 1].st, 1e-9) &&
               !SamePoint2D(walls[j].ed, ring.front(), 1e-9)) {
            ++j;
            ring.push_back(walls[j].st);
        }
        if (ring.size() >= 3) in.polygons.push_back(ring);
        k = j + 1;
    }
    for (const TLineEnt& w : walls) {
        if (!(w.st.z > h) && !(w.ed.z > h)) continue;
        in.polygons.push_back({{w.st.x, w.st.y, 0},
                               {w.ed.x, w.ed.y, 0},
                               ShadowPoint(w.ed, dir, factor, h),
                               ShadowPoint(w.st, dir, factor, h)});
    }
    return in;
}

// The 17 instants of 8:00-16:00 every 30 minutes on the winter day at 36 degrees north.
std::vector<TInstant> DayInstants(const std::vector<TLineEnt>& walls) {
    std::vector<TInstant> out;
    const SunModel sun = WinterSun();
    for (const double t : ZukaTimes(8, 16, 0.5)) {
        double azimuth = 0;
        double factor = 1;
        sun.GetTaiyouHoui(t, azimuth, factor);
        out.push_back(MakeInstant(walls, sun.ShadowDir(azimuth), factor, 4000));
    }
    return out;
}

std::vector<TInstant> Instants(std::int64_t which) {
    if (which == 2) return {MakeInstant(SoupWalls(8000), kSoupDir, kSoupFactor, kSoupPlane)};
    return DayInstants(which == 0 ? District() : CityBlock());
}

class Geos {
public:
    Geos() : h_(GEOS_init_r()) {}
    ~Geos() { GEOS_finish_r(h_); }
    Geos(const Geos&) = delete;
    Geos& operator=(const Geos&) = delete;

    // A geometry collection of the polygons; the caller destroys it.
    GEOSGeometry* Collection(const std::vector<TRing>& polygons) const {
        std::vector<GEOSGeometry*> parts;
        for (const TRing& r : polygons) {
            GEOSCoordSequence* seq =
                GEOSCoordSeq_create_r(h_, static_cast<unsigned>(r.size() + 1), 2);
            for (std::size_t i = 0; i <= r.size(); ++i) {
                const TAcadPoint& p = r[i % r.size()];
                GEOSCoordSeq_setXY_r(h_, seq, static_cast<unsigned>(i), p.x, p.y);
            }
            parts.push_back(
                GEOSGeom_createPolygon_r(h_, GEOSGeom_createLinearRing_r(h_, seq), nullptr, 0));
        }
        return GEOSGeom_createCollection_r(h_, GEOS_GEOMETRYCOLLECTION, parts.data(),
                                           static_cast<unsigned>(parts.size()));
    }
    GEOSGeometry* Union(const GEOSGeometry* g) const { return GEOSUnaryUnion_r(h_, g); }
    // The outer outlines of a union (its polygons with their holes filled, and polygons
    // standing in another's hole left out, as the outline walk sees them): how many and the
    // area inside them.
    void Measure(const GEOSGeometry* u, int& polygons, double& area) const {
        std::vector<TRing> shells;
        const int n = GEOSGetNumGeometries_r(h_, u);
        for (int i = 0; i < n; ++i) {
            const GEOSGeometry* part = GEOSGetGeometryN_r(h_, u, i);
            if (GEOSGeomTypeId_r(h_, part) != GEOS_POLYGON) continue;
            const GEOSCoordSequence* seq =
                GEOSGeom_getCoordSeq_r(h_, GEOSGetExteriorRing_r(h_, part));
            unsigned size = 0;
            GEOSCoordSeq_getSize_r(h_, seq, &size);
            TRing ring;
            for (unsigned k = 0; k + 1 < size; ++k) {
                double x = 0;
                double y = 0;
                GEOSCoordSeq_getXY_r(h_, seq, k, &x, &y);
                ring.push_back({x, y, 0});
            }
            shells.push_back(ring);
        }
        GEOSGeometry* filled = Collection(shells);
        GEOSGeometry* outer = Union(filled);
        polygons = GEOSGetNumGeometries_r(h_, outer);
        GEOSArea_r(h_, outer, &area);
        Destroy(outer);
        Destroy(filled);
    }
    void Destroy(GEOSGeometry* g) const { GEOSGeom_destroy_r(h_, g); }

private:
    GEOSContextHandle_t h_;
};

void UnionVersusGeos(benchmark::State& state, const std::vector<TInstant>& instants) {
    Geos geos;
    std::vector<GEOSGeometry*> inputs;
    for (const TInstant& in : instants) inputs.push_back(geos.Collection(in.polygons));
    double zukaBest = 1e300;
    double geosBest = 1e300;
    int outlines = 0;
    int geosPolygons = 0;
    double zukaArea = 0;
    double geosArea = 0;
    std::size_t segments = 0;
    std::size_t polygons = 0;
    for (auto _ : state) {
        for (int round = 0; round < 3; ++round) {
            outlines = 0;
            zukaArea = 0;
            Workspace ws;
            const double t0 = ThreadSeconds();
            for (const TInstant& in : instants) {
                ws.AryLine = in.soup;
                PrepareOutlineSegments(ws);
                TraceOutlineLoop(ws, QuietRun(), [&](const Workspace& w) {
                    ++outlines;
                    TRing ring;
                    for (const TLineEnt& s : w.AryLine) ring.push_back(s.st);
                    zukaArea += RingArea(ring);
                });
            }
            const double t1 = ThreadSeconds();
            zukaBest = std::min(zukaBest, t1 - t0);
            // Only the union is timed, not reading or freeing its result.
            double geosTime = 0;
            geosPolygons = 0;
            geosArea = 0;
            for (GEOSGeometry* g : inputs) {
                const double t2 = ThreadSeconds();
                GEOSGeometry* u = geos.Union(g);
                geosTime += ThreadSeconds() - t2;
                int parts = 0;
                double area = 0;
                geos.Measure(u, parts, area);
                geos.Destroy(u);
                geosPolygons += parts;
                geosArea += area;
            }
            geosBest = std::min(geosBest, geosTime);
        }
    }
    for (GEOSGeometry* g : inputs) geos.Destroy(g);
    for (const TInstant& in : instants) {
        segments += in.soup.size();
        polygons += in.polygons.size();
    }
    state.counters["instants"] = static_cast<double>(instants.size());
    state.counters["segments"] = static_cast<double>(segments);
    state.counters["polygons"] = static_cast<double>(polygons);
    state.counters["zuka_s"] = zukaBest;
    state.counters["geos_s"] = geosBest;
    state.counters["ratio"] = zukaBest / geosBest;
    state.counters["outlines"] = outlines;
    state.counters["geos_polygons"] = geosPolygons;
    state.counters["area_ratio"] = zukaArea / geosArea;
}
void BM_UnionVersusGeos(benchmark::State& state) {
    UnionVersusGeos(state, Instants(state.range(0)));
}
BENCHMARK(BM_UnionVersusGeos)
    ->ArgName("input")
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// City blocks of 40 to 400 buildings, for the scaling table (scaling_bench.cpp).
void BM_UnionVersusGeosScaling(benchmark::State& state) {
    UnionVersusGeos(state, DayInstants(CityBlock(static_cast<int>(state.range(0)))));
}
BENCHMARK(BM_UnionVersusGeosScaling)
    ->ArgName("buildings")
    ->Arg(40)
    ->Arg(100)
    ->Arg(200)
    ->Arg(400)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zuka::bench
