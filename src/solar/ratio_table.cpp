#include "solar/ratio_table.h"

#include <cmath>
#include <cstdint>

#include "base/number.h"
#include "solar/sun_model.h"

namespace zuka {
namespace {

constexpr char kTitleHead[] = "影倍率表 [ 緯度 = ";
constexpr char kTitleTail[] = "] [ 冬至 ]";
constexpr char kHeading[] = "時刻\t太陽高度\t太陽方位角\t影長倍率\tX倍率\tY倍率";

constexpr char kDo[] = "°";
constexpr char kHun[] = "′";
constexpr char kByou[] = "″";

constexpr int kRowCount = 17;  // 8:00 to 16:00 every half hour
constexpr double kFirstRowHour = 8.0;
constexpr double kRadToDeg = 57.29577951308232;

std::string Pad2(std::int64_t v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

std::int64_t Trunc(double v) { return static_cast<std::int64_t>(std::trunc(v)); }

// Altitude in degrees as d°mm′ss″, minutes and seconds truncated. A negative altitude (sun
// below the horizon, far north only) keeps its sign in front even when the degrees are 0.
std::string AltitudeDms(double hDeg) {
    if (!std::isfinite(hDeg)) return FormatGeneral(hDeg);
    const double v = std::fabs(hDeg);
    const std::int64_t d = Trunc(v);
    const std::int64_t m = Trunc((v - d) * 60.0);
    const std::int64_t s = Trunc((v - d - m / 60.0) * 3600.0);
    return (hDeg < 0 ? "-" : "") + std::to_string(d) + kDo + Pad2(m) + kHun + Pad2(s) + kByou;
}

// Azimuth in degrees as d°mm′ss″ on its magnitude, the sign (morning, east) in front; the
// seconds come from the minutes' remainder.
std::string AzimuthDms(double aDeg) {
    if (!std::isfinite(aDeg)) return FormatGeneral(aDeg);
    const double v = std::fabs(aDeg);
    const std::int64_t d = Trunc(v);
    const double t = (v - d) * 60.0;
    const std::int64_t m = Trunc(t);
    const std::int64_t s = Trunc((t - m) * 60.0);
    return (aDeg < 0 ? "-" : "") + std::to_string(d) + kDo + Pad2(m) + kHun + Pad2(s) + kByou;
}

}  // namespace

std::vector<std::string> BuildRatioTable(const std::string& edit3, const std::string& edit5,
                                         const std::string& edit23, bool useDms, bool threeDigits) {
    const int n = threeDigits ? 3 : 4;
    const double idoDeg = LatitudeOfTexts(edit3, edit5, edit23);
    SunModel sun;
    sun.RadioGroup1Click(0);  // winter solstice, whatever the window shows
    sun.SetLatitudeOnly(idoDeg);

    std::vector<std::string> lines;
    lines.reserve(2 + kRowCount);
    const std::string ido =
        useDms ? edit3 + kDo + edit5 + kHun + edit23 + kByou : FormatFixed(idoDeg, n) + kDo;
    lines.push_back(kTitleHead + ido + kTitleTail);
    lines.push_back(kHeading);
    for (int i = 0; i < kRowCount; ++i) {
        const double hour = kFirstRowHour + 0.5 * i;
        double azimuth = 0;
        double factor = 1;
        sun.GetTaiyouHoui(hour, azimuth, factor);
        const double hDeg = std::atan(1.0 / factor) * kRadToDeg;
        const double aDeg = azimuth * kRadToDeg;
        std::string row = std::to_string(Trunc(hour)) + (i % 2 == 0 ? ":00" : ":30");
        row += '\t';
        row += useDms ? AltitudeDms(hDeg) : FormatFixed(hDeg, n);
        row += '\t';
        row += useDms ? AzimuthDms(aDeg) : FormatFixed(aDeg, n);
        row += '\t' + FormatFixed(factor, n);
        row += '\t' + FormatFixed(std::sin(azimuth) * factor, n);
        row += '\t' + FormatFixed(std::cos(azimuth) * factor, n);
        lines.push_back(row);
    }
    return lines;
}

}  // namespace zuka
