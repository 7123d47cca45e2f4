// Inside the drawing host: which entities a selection takes: window and crossing tests in
// plan, selection expressions, and the filters of SelectionSet.Select. Nothing outside
// cad/host/ includes this file.
#pragma once

#include <string>
#include <vector>

#include "cad/host/host_drawing.h"
#include "cad/host/selection_expr.h"

namespace zuka {

// Selection tests in plan.
bool InsideWindow(const std::vector<std::vector<TAcadPoint>>& outline, double x1, double y1,
                  double x2, double y2);
bool CrossesWindow(const std::vector<std::vector<TAcadPoint>>& outline, double x1, double y1,
                   double x2, double y2);
bool MatchesExpr(const TSelectionExpr& expr, const TEntityData& d, const HostDrawing& drawing);

// A selection filter (DXF group 0 = type names, 8 = layer names; comma lists, * and ? as
// wildcards, a leading ~ for "not", ignoring case). Throws AutomationError for other groups or
// mismatched lists.
struct TEntityFilter {
    std::vector<std::string> types;
    std::vector<std::string> layers;
    bool Matches(const TEntityData& d) const;
};
TEntityFilter MakeFilter(const std::vector<int>& types, const std::vector<CadValue>& data);

}  // namespace zuka
