// The selection expressions of the drawing host: what a scripted user "selects on screen" and
// what the command line's --buildings option names.
//
//   all                   every entity of model space except the program's results: those on
//                         layers whose names begin with "ZUKA_" (ignoring case)
//   layer=A,B             entities on layer A or B (names compared ignoring case)
//   handle=1F,2A          the entities with these handles (hex, ignoring case)
//   1F,2A                 the same: a bare list of handles
//   window=x1,y1,x2,y2    entities lying wholly inside the window (plan, corners in any order)
//   term+term+...         every term must hold
//
// Blanks around terms, names and numbers are ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuka {

enum class SelectionTermKind { All, Layer, Handle, Window };

struct TSelectionTerm {
    SelectionTermKind kind = SelectionTermKind::All;
    std::vector<std::string> names;  // Layer: layer names; Handle: handles, upper-cased
    double x1 = 0;                   // Window: x1 <= x2, y1 <= y2
    double y1 = 0;
    double x2 = 0;
    double y2 = 0;
};

// All terms must hold.
struct TSelectionExpr {
    std::vector<TSelectionTerm> terms;
};

// Whether a layer holds the program's results (its name begins with "ZUKA_", ignoring case):
// shadows and sky maps drawn before are no buildings and no measurement points.
bool IsResultLayer(std::string_view layer);

// The parsed expression, or none with `error` set to a message that quotes the faulty part.
std::optional<TSelectionExpr> ParseSelectionExpr(std::string_view text, std::string& error);

}  // namespace zuka
