#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/number.h"
#include "fuzz_targets.h"
#include "solar/sun_model.h"

namespace zuka {
namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

// Every form a finite value is written in reads back: the general form to a value that writes
// the same text again, the fixed forms to a number.
void WriteAndReadBack(double v) {
    if (!std::isfinite(v)) return;
    const std::string general = FormatGeneral(v);
    const std::optional<double> back = ParseDouble(general);
    Check(back.has_value());
    Check(FormatGeneral(*back) == general);
    for (int decimals : {0, 1, 3, 5}) {
        const std::optional<double> fixed = ParseDouble(FormatFixed(v, decimals));
        Check(fixed.has_value());
    }
    JikokuToHms(v);
    JikokuToHm(v);
    JikokuToHmsCeil5(v);
}

}  // namespace

int FuzzNumbers(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const std::optional<double> v = ParseDouble(text)) WriteAndReadBack(*v);
    if (const std::optional<std::int64_t> n = ParseInteger(text)) {
        const std::string written = FormatInt(*n);
        Check(ParseInteger(written) == n);
    }
    try {
        StrToInt(text, "fuzz");
    } catch (const ConvertError&) {
    }
    // A message repeats any text short and without control characters: at most 40 bytes and
    // the character that crosses them (a byte shown as \xNN at most), in quotes, with "…".
    const std::string quoted = QuotedValue(text);
    Check(quoted.size() <= 2 + 4 * 43 + 3);
    for (const char c : quoted) Check(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    if (size >= sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        WriteAndReadBack(raw);
    }
    return 0;
}

}  // namespace zuka
