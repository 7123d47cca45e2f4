#include "cad/host/selection_expr.h"

#include <algorithm>
#include <cctype>

#include "base/number.h"
#include "base/text.h"

namespace zuka {
namespace {

// Messages; each quotes the whole expression or the faulty term.
const std::string kEmptyExpr = "選択式が空です";
const std::string kEmptyTerm = "選択式に空の項があります: ";
const std::string kUnknownTerm =
    "選択式の項を読めません (all, layer=, handle=, window= のいずれかを指定して下さい): ";
const std::string kNoNames = "選択式の項に名前がありません: ";
const std::string kBadHandle = "ハンドルは16進数で指定して下さい: ";
const std::string kBadWindow = "window= には4つの数値 x1,y1,x2,y2 を指定して下さい: ";

std::string Quote(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::vector<std::string_view> Split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const std::size_t at = s.find(sep);
        parts.push_back(TrimBlanks(s.substr(0, at)));
        if (at == std::string_view::npos) return parts;
        s.remove_prefix(at + 1);
    }
}

bool IsHex(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// Handles of a list "1F,2A"; none when a name is empty or not hex.
std::optional<std::vector<std::string>> ParseHandles(std::string_view list, std::string& error) {
    std::vector<std::string> handles;
    for (std::string_view h : Split(list, ',')) {
        if (!IsHex(h)) {
            error = kBadHandle + Quote(h);
            return std::nullopt;
        }
        handles.push_back(UpperAscii(h));
    }
    return handles;
}

std::optional<TSelectionTerm> ParseTerm(std::string_view term, std::string& error) {
    TSelectionTerm t;
    const std::size_t eq = term.find('=');
    if (eq == std::string_view::npos) {
        if (EqualsNoCase(term, "all")) return t;
        // A bare list of handles.
        if (!IsHex(Split(term, ',').front())) {
            error = kUnknownTerm + Quote(term);
            return std::nullopt;
        }
        std::optional<std::vector<std::string>> handles = ParseHandles(term, error);
        if (!handles) return std::nullopt;
        t.kind = SelectionTermKind::Handle;
        t.names = std::move(*handles);
        return t;
    }
    const std::string_view key = TrimBlanks(term.substr(0, eq));
    const std::string_view value = TrimBlanks(term.substr(eq + 1));
    if (EqualsNoCase(key, "layer")) {
        t.kind = SelectionTermKind::Layer;
        for (std::string_view name : Split(value, ',')) {
            if (name.empty()) {
                error = kNoNames + Quote(term);
                return std::nullopt;
            }
            t.names.emplace_back(name);
        }
        return t;
    }
    if (EqualsNoCase(key, "handle")) {
        if (value.empty()) {
            error = kNoNames + Quote(term);
            return std::nullopt;
        }
        std::optional<std::vector<std::string>> handles = ParseHandles(value, error);
        if (!handles) return std::nullopt;
        t.kind = SelectionTermKind::Handle;
        t.names = std::move(*handles);
        return t;
    }
    if (EqualsNoCase(key, "window")) {
        const std::vector<std::string_view> parts = Split(value, ',');
        double v[4] = {0, 0, 0, 0};
        if (parts.size() != 4) {
            error = kBadWindow + Quote(term);
            return std::nullopt;
        }
        for (int i = 0; i < 4; ++i) {
            const std::optional<double> d = ParseDouble(parts[i]);
            if (!d) {
                error = kBadWindow + Quote(term);
                return std::nullopt;
            }
            v[i] = *d;
        }
        t.kind = SelectionTermKind::Window;
        t.x1 = std::min(v[0], v[2]);
        t.x2 = std::max(v[0], v[2]);
        t.y1 = std::min(v[1], v[3]);
        t.y2 = std::max(v[1], v[3]);
        return t;
    }
    error = kUnknownTerm + Quote(term);
    return std::nullopt;
}

}  // namespace

bool IsResultLayer(std::string_view layer) {
    constexpr std::string_view kPrefix = "ZUKA_";
    return layer.size() >= kPrefix.size() && EqualsNoCase(layer.substr(0, kPrefix.size()), kPrefix);
}

std::optional<TSelectionExpr> ParseSelectionExpr(std::string_view text, std::string& error) {
    if (TrimBlanks(text).empty()) {
        error = kEmptyExpr;
        return std::nullopt;
    }
    TSelectionExpr expr;
    for (std::string_view term : Split(text, '+')) {
        if (term.empty()) {
            error = kEmptyTerm + Quote(text);
            return std::nullopt;
        }
        std::optional<TSelectionTerm> t = ParseTerm(term, error);
        if (!t) return std::nullopt;
        expr.terms.push_back(std::move(*t));
    }
    return expr;
}

}  // namespace zuka
