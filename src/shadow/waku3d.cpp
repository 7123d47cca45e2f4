#include "shadow/waku3d.h"

#include <algorithm>
#include <cmath>

namespace zuka {
namespace {

constexpr double kDegToRad = 3.14159265358979323846 / 180;
constexpr double kFitMargin = 1.2;  // the fitted picture leaves a sixth of its width free

}  // namespace

std::vector<TWakuLine> WakuLines(const std::vector<TLineEnt>& tatemono, bool chokka) {
    std::vector<TWakuLine> lines;
    lines.reserve(tatemono.size() * (chokka ? 4 : 1));
    for (const TLineEnt& s : tatemono) lines.push_back({s.st, s.ed, WakuKind::Top});
    if (!chokka) return lines;
    for (const TLineEnt& s : tatemono)
        lines.push_back({{s.st.x, s.st.y, 0}, {s.ed.x, s.ed.y, 0}, WakuKind::Footprint});
    for (const TLineEnt& s : tatemono) {
        for (const TAcadPoint& p : {s.st, s.ed}) {
            if (p.z > 0) lines.push_back({p, {p.x, p.y, 0}, WakuKind::Drop});
        }
    }
    return lines;
}

TAcadPoint ProjectWaku(TAcadPoint p, double hDeg, double vDeg) {
    const double h = (360 - hDeg) * kDegToRad;
    const double v = vDeg * kDegToRad;
    const double r = std::hypot(p.x, p.y);
    // The full-circle angle: a point with negative x keeps its side of the origin.
    const double a = std::atan2(p.y, p.x) - h;
    return {r * std::cos(a), r * std::sin(a) * std::cos(v) + p.z * std::sin(v), 0};
}

TWakuPicture DrawWaku3D(const std::vector<TLineEnt>& tatemono, bool chokka, double hDeg,
                        double vDeg, double cvsc, int widthPx) {
    TWakuPicture pic;
    pic.lines = WakuLines(tatemono, chokka);
    for (TWakuLine& l : pic.lines) {
        l.st = ProjectWaku(l.st, hDeg, vDeg);
        l.ed = ProjectWaku(l.ed, hDeg, vDeg);
    }
    if (!pic.lines.empty()) {
        pic.xmin = pic.xmax = pic.lines.front().st.x;
        pic.ymin = pic.ymax = pic.lines.front().st.y;
    }
    for (const TWakuLine& l : pic.lines) {
        for (const TAcadPoint& p : {l.st, l.ed}) {
            pic.xmin = std::min(pic.xmin, p.x);
            pic.xmax = std::max(pic.xmax, p.x);
            pic.ymin = std::min(pic.ymin, p.y);
            pic.ymax = std::max(pic.ymax, p.y);
        }
    }
    pic.xcen = (pic.xmin + pic.xmax) / 2;
    pic.ycen = (pic.ymin + pic.ymax) / 2;
    pic.keptCvsc = cvsc;
    if (!(cvsc > 0)) {
        const double span = std::max(pic.xmax - pic.xmin, pic.ymax - pic.ymin);
        pic.keptCvsc = std::abs(kFitMargin * span / std::max(widthPx, 1));
    }
    // A box of no size gives no scale; 1 unit per pixel draws it without dividing by zero.
    pic.cvsc = pic.keptCvsc > 0 ? pic.keptCvsc : 1;
    return pic;
}

TWakuPixel WakuPixel(const TWakuPicture& pic, TAcadPoint xy, int widthPx, int heightPx) {
    const double half = widthPx / 2.0;
    const long col = std::lround((xy.x - pic.xcen) / pic.cvsc + half);
    const long row = std::lround((xy.y - pic.ycen) / pic.cvsc + half);
    return {static_cast<int>(col), heightPx - static_cast<int>(row)};
}

int StepWakuAngle(int deg, bool up) {
    if (up) return deg >= 360 ? 0 : deg + 5;
    return deg <= 0 ? 360 : deg - 5;
}

}  // namespace zuka
