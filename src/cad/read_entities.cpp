#include "cad/read_entities.h"

#include "geom/primitives.h"

namespace zuka {
namespace {

// The polyline vertices of a flat coordinate array with `stride` values per vertex.
void ReadPolylineVertices(Entity& e, const TLwpEnt& head, int stride, bool threeD,
                          Workspace& ws) {
    const int n = static_cast<int>(e.Coordinates().size()) / stride;
    for (int j = 0; j < n; ++j) {
        const std::vector<double> c = e.Coordinate(j);
        TLwpEle v;
        v.hand = head.hand;
        if (threeD) {
            v.code10 = {c.at(0), c.at(1), c.at(2)};
            v.code42 = 0;
        } else {
            v.code10 = {c.at(0), c.at(1), head.code38};
            v.code42 = e.GetBulge(j);
        }
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
        ws.AryLine.push_back(s);
    } else if (kind == "AcDbCircle") {
        TCircleEnt c;
        c.center = e.Center();
        c.hankei = e.Radius();
        c.atumi = e.Thickness();
        c.code210 = e.Normal();
        ws.AryCircle.push_back(c);
    } else if (kind == "AcDbArc") {
        TArcEnt a;
        a.center = e.Center();
        a.hankei = e.Radius();
        a.atumi = e.Thickness();
        a.stdeg = e.StartAngle() * kRadToDeg;
        a.eddeg = e.EndAngle() * kRadToDeg;
        a.code210 = e.Normal();
        ws.AryArc.push_back(a);
    } else if (kind == "AcDbEllipse") {
        TEllipseEnt el;
        el.center = e.Center();
        el.henpei = e.RadiusRatio();
        el.endpoint = e.EndPoint();
        el.kaisi = e.StartAngle() * kRadToDeg;
        el.owari = e.EndAngle() * kRadToDeg;
        el.code210 = e.Normal();
        ws.AryEllipse.push_back(el);
    } else if (kind == "AcDbPolyline" || kind == "AcDb2dPolyline") {
        TLwpEnt h;
        h.hand = e.Handle();
        h.code38 = e.Elevation();
        h.code39 = h.atumi = e.Thickness();
        h.code70 = e.Closed() ? 1 : 0;
        h.code210 = e.Normal();
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
