#include "solar/sun_model.h"

#include <cmath>
#include <cstdint>
#include <numbers>

#include "base/number.h"

namespace zuka {
namespace {

// Fields named in conversion errors: the settings keys that hold the texts, by which the user
// knows them (the application adds their labels).
constexpr char kFieldKita[] = "Common.makita";
constexpr char kFieldIdodo[] = "Common.ido1";
constexpr char kFieldIdohun[] = "Common.ido2";
constexpr char kFieldIdobyou[] = "Common.ido3";
constexpr char kFieldTakasa[] = "Common.takasa";
constexpr char kFieldKaisi[] = "Jikoku.kaishi";
constexpr char kFieldOwari[] = "Jikoku.owari";

constexpr double kPi = std::numbers::pi;

// Declination for each season index of RadioGroup1.
constexpr double kSekiiTable[kKisetuCount] = {kToujiSekii, 0.0, -kToujiSekii};

// The valid range of clock hours; both bounds are computed.
constexpr double kFirstHour = 7.5;
constexpr double kLastHour = 16.5;

// 15 degrees of hour angle per clock hour (pi / 12), as the model has always used it.
constexpr double kHourAngle = 0.2617993877991494;

// North correction for a true-north direction in degrees: reduced from above only, so
// GB_kita = 90 gives 0 and GB_kita = 0 gives pi / 2. A few turns are taken off one by one; a
// value so large that subtracting a turn no longer changes it is reduced in one step.
double KitaHoseiOf(double kitaDeg) {
    constexpr int kTurnsOneByOne = 16;
    double k = 4.5 * kPi - kitaDeg * kPi / 180.0;
    for (int i = 0; i < kTurnsOneByOne && k >= 2.0 * kPi; ++i) k -= 2.0 * kPi;
    if (k >= 2.0 * kPi) k = std::fmod(k, 2.0 * kPi);
    return k;
}

// Integer part toward zero; a value beyond any clock hour (or no number) is held to a range
// that converts safely.
std::int64_t Trunc(double v) {
    constexpr double kLimit = 1e15;
    if (std::isnan(v)) return 0;
    if (v < -kLimit) return -static_cast<std::int64_t>(kLimit);
    if (v > kLimit) return static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(std::trunc(v));
}

// Decimal text with a leading "0" when shorter than two characters.
std::string Pad2(std::int64_t v) {
    std::string s = std::to_string(v);
    return s.size() < 2 ? "0" + s : s;
}

}  // namespace

void SunModel::RadioGroup1Click(int itemIndex) {
    if (itemIndex < 0 || itemIndex >= kKisetuCount) return;
    Sekii = kSekiiTable[itemIndex];
}

double LatitudeOfTexts(const std::string& edit3, const std::string& edit5,
                       const std::string& edit23) {
    return StrToFloat(edit3, kFieldIdodo) + StrToFloat(edit5, kFieldIdohun) / 60.0 +
           StrToFloat(edit23, kFieldIdobyou) / 3600.0;
}

void SunModel::SetTaiyouParams(const TSunTexts& t) {
    SunModel next = *this;
    next.GB_kita = StrToFloat(t.Edit12, kFieldKita);
    next.GB_idodo = StrToFloat(t.Edit3, kFieldIdodo);
    next.GB_idohun = StrToFloat(t.Edit5, kFieldIdohun);
    next.GB_idobyou = StrToFloat(t.Edit23, kFieldIdobyou);
    next.GB_takasa = StrToFloat(t.Edit4, kFieldTakasa) * 1000.0;
    next.GB_kisetu = t.RadioGroup1;
    next.GB_kaisi = StrToFloat(t.Edit2, kFieldKaisi);
    next.GB_owari = StrToFloat(t.Edit7, kFieldOwari);
    next.SetLatitudeOnly(next.GB_idodo + next.GB_idohun / 60.0 + next.GB_idobyou / 3600.0);
    next.KitaHosei = KitaHoseiOf(next.GB_kita);
    *this = next;
}

void SunModel::SetLatitudeOnly(double idoDeg) {
    const double ido = idoDeg * kPi / 180.0;
    CosIdo = std::cos(ido);
    SinIdo = std::sin(ido);
    CosSekii = std::cos(Sekii);
    SinSekii = std::sin(Sekii);
}

bool SunModel::GetTaiyouHoui(double hour, double& azimuth, double& factor) const {
    azimuth = 0.0;
    factor = 1.0;
    if (hour < kFirstHour || hour > kLastHour) return false;
    const double h = (hour - 12.0) * kHourAngle;
    const double s = SinIdo * SinSekii + CosIdo * CosSekii * std::cos(h);  // sine of altitude
    const double c = std::pow(1.0 - s * s, 0.5);                           // cosine of altitude
    const double y = CosSekii * std::sin(h) / c;                           // sine of the azimuth
    const double x = (s * SinIdo - SinSekii) / (c * CosIdo);               // cosine of the azimuth
    if (x == 0.0 && y == 0.0) return false;
    // Quadrant-safe arctangent; the result lies in [-pi, pi] (NaN stays NaN).
    const double ax = std::fabs(x);
    const double ay = std::fabs(y);
    double a = ax >= ay ? std::atan(ay / ax) : kPi / 2.0 - std::atan(ax / ay);
    if (x < 0.0) a = kPi - a;
    if (y < 0.0) a = -a;
    azimuth = a;
    factor = 1.0 / (s / c);
    return true;
}

double SunModel::ShadowDir(double azimuth) const { return 4.5 * kPi - (azimuth + KitaHosei); }

std::string JikokuToHms(double hour) {
    const std::int64_t a = Trunc(hour);
    const std::int64_t b = Trunc((hour - a) * 60.0);
    const std::int64_t c = Trunc((hour - a - b / 60.0) * 3600.0);
    return std::to_string(a) + ":" + Pad2(b) + ":" + Pad2(c);
}

std::string JikokuToHm(double hour) {
    const std::int64_t a = Trunc(hour);
    const std::int64_t b = Trunc((hour - a) * 60.0);
    return FormatInt(a, 2) + ":" + FormatInt(b, 2);
}

std::string JikokuToHmsCeil5(double hour) {
    std::int64_t a = Trunc(hour);
    std::int64_t b = Trunc((hour - a) * 60.0);
    std::int64_t c = Trunc((hour - a - b / 60.0) * 3600.0);
    if (c % 5 != 0) c = (c / 5) * 5 + 5;
    if (c == 60) {
        c = 0;
        ++b;
    }
    if (b == 60) {
        b = 0;
        ++a;
    }
    return FormatInt(a, 2) + ":" + FormatInt(b, 2) + "'" + FormatInt(c, 2) + "\"";
}

}  // namespace zuka
