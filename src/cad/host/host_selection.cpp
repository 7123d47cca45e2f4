#include "cad/host/host_selection.h"

#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "cad/automation.h"
#include "cad/host/host_geometry.h"

namespace zuka {
namespace {

const std::string kBadFilterCode = "選択フィルタのグループコードに対応していません: ";
const std::string kFilterMismatch = "選択フィルタのコードと値の数または型が合いません";

// Glob match ignoring ASCII case: * any run, ? one byte.
bool WildMatch(std::string_view pattern, std::string_view text) {
    std::size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    const auto same = [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) ==
               std::toupper(static_cast<unsigned char>(b));
    };
    while (t < text.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], text[t]))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::string> SplitList(const std::string& s) {
    std::vector<std::string> out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = s.find(',', from);
        std::string part = s.substr(from, at == std::string::npos ? std::string::npos : at - from);
        while (!part.empty() && part.front() == ' ') part.erase(part.begin());
        while (!part.empty() && part.back() == ' ') part.pop_back();
        if (!part.empty()) out.push_back(part);
        if (at == std::string::npos) return out;
        from = at + 1;
    }
}

// Liang-Barsky: does the segment p-q meet the rectangle?
bool SegmentMeetsRect(TAcadPoint p, TAcadPoint q, double x1, double y1, double x2, double y2) {
    double t0 = 0;
    double t1 = 1;
    const double dx = q.x - p.x;
    const double dy = q.y - p.y;
    const double pp[4] = {-dx, dx, -dy, dy};
    const double qq[4] = {p.x - x1, x2 - p.x, p.y - y1, y2 - p.y};
    for (int i = 0; i < 4; ++i) {
        if (pp[i] == 0) {
            if (qq[i] < 0) return false;
            continue;
        }
        const double r = qq[i] / pp[i];
        if (pp[i] < 0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1) return false;
    }
    return true;
}

}  // namespace

bool InsideWindow(const std::vector<std::vector<TAcadPoint>>& outline, double x1, double y1,
                  double x2, double y2) {
    bool any = false;
    for (const std::vector<TAcadPoint>& line : outline)
        for (const TAcadPoint& p : line) {
            if (p.x < x1 || p.x > x2 || p.y < y1 || p.y > y2) return false;
            any = true;
        }
    return any;
}

bool CrossesWindow(const std::vector<std::vector<TAcadPoint>>& outline, double x1, double y1,
                   double x2, double y2) {
    for (const std::vector<TAcadPoint>& line : outline) {
        if (line.size() == 1 && SegmentMeetsRect(line[0], line[0], x1, y1, x2, y2)) return true;
        for (std::size_t i = 0; i + 1 < line.size(); ++i)
            if (SegmentMeetsRect(line[i], line[i + 1], x1, y1, x2, y2)) return true;
    }
    return false;
}

bool MatchesExpr(const TSelectionExpr& expr, const TEntityData& d, const HostDrawing& drawing) {
    for (const TSelectionTerm& t : expr.terms) {
        bool ok = false;
        switch (t.kind) {
            case SelectionTermKind::All:
                ok = !IsResultLayer(d.layer);
                break;
            case SelectionTermKind::Layer:
                for (const std::string& name : t.names) ok = ok || EqualsNoCase(name, d.layer);
                break;
            case SelectionTermKind::Handle:
                for (const std::string& h : t.names) ok = ok || EqualsNoCase(h, d.handle);
                break;
            case SelectionTermKind::Window:
                ok = InsideWindow(OutlineOf(d, drawing), t.x1, t.y1, t.x2, t.y2);
                break;
        }
        if (!ok) return false;
    }
    return true;
}

bool TEntityFilter::Matches(const TEntityData& d) const {
    const auto any = [](const std::vector<std::string>& patterns, const std::string& value) {
        if (patterns.empty()) return true;
        // A pattern that begins with "~" matches what the rest of it does not match.
        for (const std::string& p : patterns) {
            const bool negated = !p.empty() && p[0] == '~';
            if (WildMatch(negated ? std::string_view(p).substr(1) : std::string_view(p), value) !=
                negated)
                return true;
        }
        return false;
    };
    return any(types, DxfTypeOf(d)) && any(layers, d.layer);
}

TEntityFilter MakeFilter(const std::vector<int>& types, const std::vector<CadValue>& data) {
    if (types.size() != data.size()) throw AutomationError(kFilterMismatch);
    TEntityFilter f;
    for (std::size_t i = 0; i < types.size(); ++i) {
        const std::string* value = std::get_if<std::string>(&data[i]);
        if (types[i] != 0 && types[i] != 8)
            throw AutomationError(kBadFilterCode + std::to_string(types[i]));
        if (!value) throw AutomationError(kFilterMismatch);
        std::vector<std::string>& list = types[i] == 0 ? f.types : f.layers;
        for (std::string& v : SplitList(*value)) list.push_back(std::move(v));
    }
    return f;
}

}  // namespace zuka
