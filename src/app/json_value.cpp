#include "app/json_value.h"

#include <cmath>

#include "base/assert.h"
#include "base/number.h"

namespace zuka {

JsonValue JsonValue::Rounded(double d, int decimals) {
    return std::isfinite(d) ? JsonValue(RoundByFormat(d, decimals)) : JsonValue();
}

JsonValue JsonValue::Point(double x, double y) {
    return Array().Push(Rounded(x, 3)).Push(Rounded(y, 3));
}

JsonValue& JsonValue::Add(std::string key, JsonValue v) {
    ZUKA_ASSERT(std::holds_alternative<TObject>(v_), "members are added to objects only");
    std::get<TObject>(v_).emplace_back(std::move(key), std::move(v));
    return *this;
}

JsonValue& JsonValue::Push(JsonValue v) {
    ZUKA_ASSERT(std::holds_alternative<TArray>(v_), "items are appended to arrays only");
    std::get<TArray>(v_).push_back(std::move(v));
    return *this;
}

JsonValue& JsonValue::operator[](const std::string& key) {
    ZUKA_ASSERT(std::holds_alternative<TObject>(v_), "members belong to objects only");
    for (auto& [k, v] : std::get<TObject>(v_))
        if (k == key) return v;
    Add(key, JsonValue());
    return std::get<TObject>(v_).back().second;
}

std::size_t JsonValue::Size() const {
    if (const TArray* a = std::get_if<TArray>(&v_)) return a->size();
    if (const TObject* o = std::get_if<TObject>(&v_)) return o->size();
    return 0;
}

std::string JsonValue::Dump() const {
    std::string out;
    DumpTo(out, 0);
    out += "\n";
    return out;
}

void JsonValue::DumpTo(std::string& out, int indent) const {
    const std::string pad(static_cast<std::size_t>(indent + 2), ' ');
    const std::string close(static_cast<std::size_t>(indent), ' ');
    if (std::holds_alternative<std::monostate>(v_)) {
        out += "null";
    } else if (const bool* b = std::get_if<bool>(&v_)) {
        out += *b ? "true" : "false";
    } else if (const double* d = std::get_if<double>(&v_)) {
        out += std::isfinite(*d) ? FormatGeneral(*d) : "null";
    } else if (const std::string* s = std::get_if<std::string>(&v_)) {
        out += JsonString(*s);
    } else if (const TArray* a = std::get_if<TArray>(&v_)) {
        bool flat = true;
        for (const JsonValue& x : *a)
            flat = flat && !std::holds_alternative<TArray>(x.v_) &&
                   !std::holds_alternative<TObject>(x.v_);
        // Short arrays of arrays of scalars (points, pairs) stay on one line too.
        bool pairs = !a->empty();
        for (const JsonValue& x : *a) {
            const TArray* inner = std::get_if<TArray>(&x.v_);
            pairs = pairs && inner && inner->size() <= 3;
            if (inner)
                for (const JsonValue& y : *inner)
                    pairs = pairs && !std::holds_alternative<TArray>(y.v_) &&
                            !std::holds_alternative<TObject>(y.v_);
        }
        if (flat || pairs) {
            out += "[";
            for (std::size_t i = 0; i < a->size(); ++i) {
                if (i > 0) out += ", ";
                (*a)[i].DumpTo(out, indent);
            }
            out += "]";
            return;
        }
        out += "[\n";
        for (std::size_t i = 0; i < a->size(); ++i) {
            out += pad;
            (*a)[i].DumpTo(out, indent + 2);
            out += i + 1 < a->size() ? ",\n" : "\n";
        }
        out += close + "]";
    } else {
        const TObject& o = std::get<TObject>(v_);
        if (o.empty()) {
            out += "{}";
            return;
        }
        out += "{\n";
        for (std::size_t i = 0; i < o.size(); ++i) {
            out += pad + JsonString(o[i].first) + ": ";
            o[i].second.DumpTo(out, indent + 2);
            out += i + 1 < o.size() ? ",\n" : "\n";
        }
        out += close + "}";
    }
}

std::string JsonString(const std::string& s) {
    std::string q = "\"";
    for (char ch : s) {
        const auto u = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            q += '\\';
            q += ch;
        } else if (u < 0x20) {
            static const char kHex[] = "0123456789abcdef";
            q += "\\u00";
            q += kHex[u >> 4];
            q += kHex[u & 15];
        } else {
            q += ch;
        }
    }
    return q + "\"";
}

}  // namespace zuka
