#include "base/number.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <system_error>

#include "base/text.h"

namespace zuka {
namespace {

constexpr int kGeneralDigits = 15;

// Decimal digits and exponent of a non-zero finite value: value = 0.d1d2d3... * 10^(exp10+1),
// i.e. d1 is the digit at 10^exp10. `precision` < 0 asks for the shortest round-trip text.
struct TDecimal {
    bool negative = false;
    std::string digits;  // no leading zeros, at least one digit
    int exp10 = 0;       // power of ten of the first digit
};

TDecimal ToDecimal(double x, int precision) {
    char buf[64];
    std::to_chars_result r = precision < 0
        ? std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific)
        : std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, precision);
    std::string_view s(buf, r.ptr - buf);
    TDecimal d;
    if (!s.empty() && s[0] == '-') {
        d.negative = true;
        s.remove_prefix(1);
    }
    const std::size_t e = s.find('e');
    for (char c : s.substr(0, e))
        if (c != '.') d.digits.push_back(c);
    int exp = 0;
    std::string_view es = s.substr(e + 1);
    if (!es.empty() && es[0] == '+') es.remove_prefix(1);
    std::from_chars(es.data(), es.data() + es.size(), exp);
    d.exp10 = exp;
    return d;
}

// Whether the decimal reads back as a finite double.
bool ReadsBackFinite(const TDecimal& d) {
    const std::string text = "0." + d.digits + "e" + std::to_string(d.exp10 + 1);
    double v = 0;
    const std::from_chars_result r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && std::isfinite(v);
}

void StripTrailingZeros(std::string& digits) {
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
}

std::string_view Trim(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return t;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// An integer with at most one sign, then decimal digits or, when `hex` allows, hexadecimal
// digits after "0x", "0X" or "$". The magnitude is read unsigned (from_chars then takes no
// sign of its own, so "--5" and "0x-5" stay no number) and must fit in int64.
std::optional<std::int64_t> ParseSignedInteger(std::string_view text, bool hex) {
    std::string_view t = Trim(text);
    bool negative = false;
    if (!t.empty() && (t.front() == '-' || t.front() == '+')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    int base = 10;
    if (hex && t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    } else if (hex && t.size() > 1 && t[0] == '$') {
        base = 16;
        t.remove_prefix(1);
    }
    std::uint64_t magnitude = 0;
    const std::from_chars_result r =
        std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
    if (t.empty() || r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(INT64_MAX);
    if (magnitude > kMaxPositive + (negative ? 1 : 0)) return std::nullopt;
    // Negated in unsigned arithmetic: -(2^63) has no positive counterpart.
    return static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
}

}  // namespace

std::string FormatGeneral(double x) {
    if (x == 0.0 || !std::isfinite(x)) {
        if (std::isnan(x)) return "NAN";
        if (std::isinf(x)) return x > 0 ? "INF" : "-INF";
        return "0";
    }
    TDecimal d = ToDecimal(x, kGeneralDigits - 1);
    // Near the largest double, 15 digits can round up past it ("1.79769313486232E308" is no
    // double): such a value takes the shortest digits that read back to it instead.
    if (d.exp10 >= std::numeric_limits<double>::max_exponent10 && !ReadsBackFinite(d))
        d = ToDecimal(x, -1);
    StripTrailingZeros(d.digits);
    std::string out = d.negative ? "-" : "";
    // Decided on the value as written (rounded to 15 digits), so that a value just below 1E-5
    // that rounds up to it is written "0.00001", as 1E-5 itself is, and reads back to a value
    // that writes the same text.
    const bool scientific = d.exp10 < -5 || d.exp10 >= kGeneralDigits;
    if (scientific) {
        out += d.digits[0];
        if (d.digits.size() > 1) {
            out += '.';
            out += d.digits.substr(1);
        }
        out += 'E';
        out += std::to_string(d.exp10);
        return out;
    }
    const int n = static_cast<int>(d.digits.size());
    if (d.exp10 < 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.exp10 - 1), '0');
        out += d.digits;
    } else if (n <= d.exp10 + 1) {
        out += d.digits;
        out.append(static_cast<std::size_t>(d.exp10 + 1 - n), '0');
    } else {
        out += d.digits.substr(0, d.exp10 + 1);
        out += '.';
        out += d.digits.substr(d.exp10 + 1);
    }
    return out;
}

std::string FormatFixed(double x, int decimals) {
    if (decimals < 0) decimals = 0;
    if (!std::isfinite(x)) return FormatGeneral(x);
    std::string intPart = "0";
    std::string frac(static_cast<std::size_t>(decimals), '0');
    bool negative = false;
    if (x != 0.0) {
        TDecimal d = ToDecimal(x, -1);
        negative = d.negative;
        // Place the digits on a fixed grid: integer digits, then `decimals` fraction digits,
        // then the first dropped digit that decides the rounding.
        std::string all;  // integer digits followed by fraction digits
        int intDigits = d.exp10 + 1;
        if (intDigits <= 0) {
            all.assign(static_cast<std::size_t>(-intDigits), '0');
            all += d.digits;
            intDigits = 0;
        } else {
            all = d.digits;
            if (static_cast<int>(all.size()) < intDigits)
                all.append(static_cast<std::size_t>(intDigits - static_cast<int>(all.size())), '0');
        }
        const int keep = intDigits + decimals;
        bool roundUp = static_cast<int>(all.size()) > keep && all[keep] >= '5';
        if (static_cast<int>(all.size()) < keep)
            all.append(static_cast<std::size_t>(keep - static_cast<int>(all.size())), '0');
        all.resize(static_cast<std::size_t>(keep));
        if (roundUp) {
            int i = keep - 1;
            for (; i >= 0; --i) {
                if (all[i] == '9') {
                    all[i] = '0';
                } else {
                    ++all[i];
                    break;
                }
            }
            if (i < 0) {
                all.insert(all.begin(), '1');
                ++intDigits;
            }
        }
        intPart = intDigits > 0 ? all.substr(0, intDigits) : "0";
        frac = all.substr(intDigits);
        const std::size_t nz = intPart.find_first_not_of('0');
        intPart = nz == std::string::npos ? "0" : intPart.substr(nz);
        if (intPart == "0" && frac.find_first_not_of('0') == std::string::npos) negative = false;
    }
    std::string out = negative ? "-" : "";
    out += intPart;
    if (decimals > 0) {
        out += '.';
        out += frac;
    }
    return out;
}

double RoundByFormat(double x, int decimals) {
    return ParseDouble(FormatFixed(x, decimals)).value_or(x);
}

std::string FormatInt(std::int64_t v, int width) {
    std::string digits = std::to_string(v < 0 ? -static_cast<std::uint64_t>(v)
                                              : static_cast<std::uint64_t>(v));
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width - static_cast<int>(digits.size())), '0');
    return v < 0 ? "-" + digits : digits;
}

std::optional<double> ParseDouble(std::string_view text) {
    std::string_view t = Trim(text);
    // One sign at most; from_chars takes no '+'.
    if (!t.empty() && t.front() == '+') {
        t.remove_prefix(1);
        if (!t.empty() && t.front() == '-') return std::nullopt;
    }
    // Check the shape first: from_chars alone would accept "inf", "nan" and hex floats.
    std::size_t i = 0;
    if (i < t.size() && t[i] == '-') ++i;
    std::size_t mantissaDigits = 0;
    while (i < t.size() && IsDigit(t[i])) ++i, ++mantissaDigits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && IsDigit(t[i])) ++i, ++mantissaDigits;
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        std::size_t expDigits = 0;
        while (i < t.size() && IsDigit(t[i])) ++i, ++expDigits;
        if (expDigits == 0) return std::nullopt;
    }
    if (i != t.size()) return std::nullopt;
    double v = 0;
    const std::from_chars_result r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec == std::errc::result_out_of_range) return std::nullopt;
    if (r.ec != std::errc() || r.ptr != t.data() + t.size()) return std::nullopt;
    return v;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    return ParseSignedInteger(text, true);
}

std::optional<int> IntegerPart(double x) {
    // Both bounds are exact doubles; the comparison is false for NaN.
    constexpr double kBelow = static_cast<double>(std::numeric_limits<int>::min()) - 1.0;
    constexpr double kAbove = static_cast<double>(std::numeric_limits<int>::max()) + 1.0;
    if (!(x > kBelow && x < kAbove)) return std::nullopt;
    return static_cast<int>(x);
}

namespace {

// `text` with control characters and bytes that are no UTF-8 as \xNN, up to `maxBytes` of it
// (cut at a character boundary and marked "…").
std::string ShownText(std::string_view text, std::size_t maxBytes) {
    static const char kHex[] = "0123456789ABCDEF";
    const auto hex = [](unsigned char c) {
        return std::string{'\\', 'x', kHex[c >> 4], kHex[c & 15]};
    };
    std::string out;
    std::size_t shown = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const TUtf8Char ch = ReadUtf8Char(text, i);
        const std::size_t len = ch.length;
        if (shown >= maxBytes) return out + "…";
        if (!ch.valid) {
            out += hex(c);
            ++shown;
            ++i;
            continue;
        }
        if (len == 1 && (c < 0x20 || c == 0x7F)) {
            out += hex(c);
        } else {
            out.append(text.substr(i, len));
        }
        shown += len;
        i += len;
    }
    return out;
}

}  // namespace

std::string QuotedValue(std::string_view text) { return "'" + ShownValue(text) + "'"; }

std::string ShownValue(std::string_view text) { return ShownText(text, 40); }

std::string ReaderError(std::string_view head, std::string_view file,
                        std::optional<std::size_t> line, std::string_view what,
                        std::optional<std::string_view> value) {
    std::string m(head);
    m += ShownText(file, file.size());
    m += " (";
    if (line) m += "行 " + std::to_string(*line) + ": ";
    m += what;
    if (value) m += " " + QuotedValue(*value);
    return m + ")";
}

ConvertError::ConvertError(std::string text, std::string field)
    : std::runtime_error(field + " の値 " + QuotedValue(text) + " は数値ではありません"),
      text_(std::move(text)),
      field_(std::move(field)) {}

ConvertError::ConvertError(std::string text, std::string field, const std::string& message)
    : std::runtime_error(message), text_(std::move(text)), field_(std::move(field)) {}

double StrToFloat(std::string_view text, std::string_view field) {
    if (std::optional<double> v = ParseDouble(text)) return *v;
    throw ConvertError(std::string(text), std::string(field));
}

std::int64_t StrToInt(std::string_view text, std::string_view field) {
    if (std::optional<std::int64_t> v = ParseSignedInteger(text, false)) return *v;
    throw ConvertError(std::string(text), std::string(field));
}

}  // namespace zuka
