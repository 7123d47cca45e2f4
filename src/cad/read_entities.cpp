#include "cad/read_entities.h"

#include "geom/acquisition.h"
#include "geom/primitives.h"

namespace zuka {
namespace {

void CheckNormal(const TAcadPoint& n, const std::string& hand) {
    for (double v : {n.x, n.y, n.z}) CheckEntityNumber(v, hand);
}

// The polyline vertices of a flat coordinate array with `stride` values per vertex, read in
// one call (each call to a running CAD crosses into its process).
void ReadPolylineVertices(Entity& e, const TLwpEnt& head, int stride, bool threeD,
                          Workspace& ws) {
    const std::vector<double> all = e.Coordinates();
    const std::size_t n = all.size() / static_cast<std::size_t>(stride);
    for (std::size_t j = 0; j < n; ++j) {
        const double* c = all.data() + j * static_cast<std::size_t>(stride);
        TLwpEle v;
        v.hand = head.hand;
        if (threeD) {
            v.code10 = {c[0], c[1], c[2]};
            v.code42 = 0;
        } else {
            v.code10 = {c[0], c[1], head.code38};
            v.code42 = e.GetBulge(static_cast<int>(j));
        }
        CheckEntityPoint(v.code10, head.hand);
        CheckEntityPoint({v.code10.x, v.code10.y, v.code10.z + head.atumi}, head.hand);
        CheckEntityNumber(v.code42, head.hand);
        ws.AryLwpEle.push_back(v);
    }
}

}  // namespace

int ReadSelEntities(SelectionSet& ss, Workspace& ws) {
    ws.AryLine.clear();
    ws.AryCircle.clear();
    ws.AryEllipse.clear();
    ws.AryArc.clear();
    ws.AryLwp.clear();
    ws.AryLwpEle.clear();
    for (int i = 0; i < ss.Count(); ++i) ReadSelEntity(*ss.Item(i), ws);
    return static_cast<int>(ws.AryLine.size() + ws.AryCircle.size() + ws.AryLwp.size());
}

bool ReadSelEntity(Entity& e, Workspace& ws) {
    const std::string kind = e.EntityName();
    if (kind == "AcDbLine") {
        TLineEnt s;
        s.st = e.StartPoint();
        s.ed = e.EndPoint();
        s.atumi = e.Thickness();
        s.code210 = e.Normal();
        const std::string hand = e.Handle();
        CheckNormal(s.code210, hand);
        const TAcadPoint up = ScaleVec(s.code210, s.atumi);
        for (const TAcadPoint& p : {s.st, s.ed, AddVec(s.st, up), AddVec(s.ed, up)})
            CheckEntityPoint(p, hand);
        ws.AryLine.push_back(s);
    } else if (kind == "AcDbCircle") {
        TCircleEnt c;
        c.hand = e.Handle();
        c.center = e.Center();
        c.hankei = e.Radius();
        c.atumi = e.Thickness();
        c.code210 = e.Normal();
        CheckEntityPoint(c.center, c.hand);
        CheckEntityNumber(c.hankei, c.hand, kMaxCoordinate);
        CheckEntityNumber(c.atumi, c.hand, kMaxCoordinate);
        CheckNormal(c.code210, c.hand);
        ws.AryCircle.push_back(c);
    } else if (kind == "AcDbArc") {
        TArcEnt a;
        a.hand = e.Handle();
        a.center = e.Center();
        a.hankei = e.Radius();
        a.atumi = e.Thickness();
        a.stdeg = e.StartAngle() * kRadToDeg;
        a.eddeg = e.EndAngle() * kRadToDeg;
        a.code210 = e.Normal();
        CheckEntityPoint(a.center, a.hand);
        CheckEntityNumber(a.hankei, a.hand, kMaxCoordinate);
        CheckEntityNumber(a.atumi, a.hand, kMaxCoordinate);
        CheckNormal(a.code210, a.hand);
        ws.AryArc.push_back(a);
    } else if (kind == "AcDbEllipse") {
        TEllipseEnt el;
        el.hand = e.Handle();
        el.center = e.Center();
        el.henpei = e.RadiusRatio();
        el.endpoint = e.EndPoint();
        el.kaisi = e.StartAngle() * kRadToDeg;
        el.owari = e.EndAngle() * kRadToDeg;
        el.code210 = e.Normal();
        CheckEntityPoint(el.center, el.hand);
        CheckEntityPoint(el.endpoint, el.hand);
        CheckEntityNumber(el.henpei, el.hand);
        CheckNormal(el.code210, el.hand);
        ws.AryEllipse.push_back(el);
    } else if (kind == "AcDbPolyline" || kind == "AcDb2dPolyline") {
        TLwpEnt h;
        h.hand = e.Handle();
        h.code38 = e.Elevation();
        h.code39 = h.atumi = e.Thickness();
        h.code70 = e.Closed() ? 1 : 0;
        h.code210 = e.Normal();
        CheckNormal(h.code210, h.hand);
        ws.AryLwp.push_back(h);
        ReadPolylineVertices(e, h, kind == "AcDbPolyline" ? 2 : 3, false, ws);
    } else if (kind == "AcDb3dPolyline") {
        TLwpEnt h;
        h.hand = e.Handle();
        h.code70 = e.Closed() ? 1 : 0;
        h.code210 = {0, 0, 1};
        ws.AryLwp.push_back(h);
        ReadPolylineVertices(e, h, 3, true, ws);
    } else {
        return false;
    }
    return true;
}

}  // namespace zuka
