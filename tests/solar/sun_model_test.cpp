#include "solar/sun_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>

#include "base/number.h"

namespace zuka {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

TSunTexts Texts(const std::string& kita, const std::string& ido, int kisetu = 0) {
    TSunTexts t;
    t.Edit12 = kita;
    t.Edit3 = ido;
    t.Edit5 = "0";
    t.Edit23 = "0";
    t.Edit4 = "4.0";
    t.Edit2 = "8.0";
    t.Edit7 = "16.0";
    t.RadioGroup1 = kisetu;
    return t;
}

// A sun for a whole-degree latitude, north up, season by index.
SunModel Sun(int kisetu, const std::string& ido) {
    SunModel sun;
    sun.RadioGroup1Click(kisetu);
    sun.SetTaiyouParams(Texts("90", ido, kisetu));
    return sun;
}

TEST(SunModel, SeasonSetsDeclinationAndKeepsItForNoSelection) {
    SunModel sun;
    EXPECT_EQ(sun.Sekii, 0.0);
    sun.RadioGroup1Click(0);
    EXPECT_DOUBLE_EQ(sun.Sekii, -23.45 * kDeg);
    sun.RadioGroup1Click(2);
    EXPECT_DOUBLE_EQ(sun.Sekii, 23.45 * kDeg);
    sun.RadioGroup1Click(-1);
    EXPECT_DOUBLE_EQ(sun.Sekii, 23.45 * kDeg);
    sun.RadioGroup1Click(3);
    EXPECT_DOUBLE_EQ(sun.Sekii, 23.45 * kDeg);
    sun.RadioGroup1Click(1);
    EXPECT_EQ(sun.Sekii, 0.0);
}

TEST(SunModel, SetTaiyouParamsFillsFormFieldsAndUnitValues) {
    SunModel sun;
    sun.RadioGroup1Click(0);
    TSunTexts t;
    t.Edit12 = "75.5";
    t.Edit3 = "35";
    t.Edit5 = "30";
    t.Edit23 = "36";
    t.Edit4 = "1.5";
    t.Edit2 = "8.5";
    t.Edit7 = "15.0";
    t.RadioGroup1 = 2;  // recorded only: the declination follows the season handler
    sun.SetTaiyouParams(t);
    EXPECT_EQ(sun.GB_kita, 75.5);
    EXPECT_EQ(sun.GB_idodo, 35.0);
    EXPECT_EQ(sun.GB_idohun, 30.0);
    EXPECT_EQ(sun.GB_idobyou, 36.0);
    EXPECT_DOUBLE_EQ(sun.GB_takasa, 1500.0);
    EXPECT_EQ(sun.GB_kisetu, 2);
    EXPECT_EQ(sun.GB_kaisi, 8.5);
    EXPECT_EQ(sun.GB_owari, 15.0);
    EXPECT_DOUBLE_EQ(sun.Sekii, kToujiSekii);
    EXPECT_DOUBLE_EQ(sun.SinIdo, std::sin(35.51 * kDeg));  // 35°30'36" = 35.51°
    EXPECT_DOUBLE_EQ(sun.CosIdo, std::cos(35.51 * kDeg));
    EXPECT_DOUBLE_EQ(sun.SinSekii, std::sin(kToujiSekii));
    EXPECT_DOUBLE_EQ(sun.CosSekii, std::cos(kToujiSekii));
}

TEST(SunModel, KitaHoseiIsReducedFromAboveOnly) {
    struct Row {
        const char* kita;
        double want;
    };
    const Row rows[] = {
        {"90", 0.0},         // 4 pi, reduced twice
        {"0", kPi / 2},      // 4.5 pi reduced twice
        {"45", kPi / 4},     // 4.25 pi
        {"-90", kPi},        // 5 pi
        {"180", 1.5 * kPi},  // 3.5 pi
        {"359.9", kPi / 2 + 0.1 * kDeg},
        {"-7200", kPi / 2},  // twenty turns
        // Far beyond a turn: once a loop that never ended (subtracting 2 pi no longer changed
        // the value). Whatever the reduction leaves of 1.7e15 radians, it lies in [0, 2 pi).
        {"-1e17", NAN},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.kita);
        SunModel sun;
        sun.SetTaiyouParams(Texts(r.kita, "36"));
        if (!std::isnan(r.want)) {
            EXPECT_NEAR(sun.KitaHosei, r.want, 1e-12);
        }
        EXPECT_GE(sun.KitaHosei, 0.0);
        EXPECT_LT(sun.KitaHosei, 2 * kPi);
    }
}

// The shadow points away from the sun: at noon (azimuth 0) along true north, and in general
// along GB_kita - azimuth, whatever multiple of 2 pi the unreduced value carries.
TEST(SunModel, ShadowDirFollowsTrueNorth) {
    for (const char* kita : {"90", "0", "30", "-45", "200"}) {
        SunModel sun;
        sun.SetTaiyouParams(Texts(kita, "36"));
        for (double azimuth : {0.0, -1.0, 0.7, kPi}) {
            SCOPED_TRACE(std::string(kita) + " " + std::to_string(azimuth));
            const double want = sun.GB_kita * kDeg - azimuth;
            const double got = sun.ShadowDir(azimuth);
            EXPECT_NEAR(std::cos(got), std::cos(want), 1e-12);
            EXPECT_NEAR(std::sin(got), std::sin(want), 1e-12);
        }
    }
    SunModel north;
    north.SetTaiyouParams(Texts("90", "36"));
    EXPECT_DOUBLE_EQ(north.ShadowDir(0.0), 4.5 * kPi);  // not reduced
}

TEST(SunModel, SetTaiyouParamsReportsFirstBadFieldAndKeepsModel) {
    struct Row {
        const char* name;
        const char* badFields;  // letters: k Edit12, d Edit3, h Edit5, b Edit23, t Edit4,
                                // s Edit2, o Edit7
        const char* wantField;  // the settings key of the first bad field
    };
    const Row rows[] = {
        {"all bad", "kdhbtso", "Common.makita"},
        {"latitude before hours", "ds", "Common.ido1"},
        {"minutes", "ho", "Common.ido2"},
        {"seconds", "b", "Common.ido3"},
        {"height before start hour", "ts", "Common.takasa"},
        {"start hour", "so", "Jikoku.kaishi"},
        {"end hour", "o", "Jikoku.owari"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        SunModel sun = Sun(0, "36");
        const SunModel before = sun;
        TSunTexts t = Texts("10", "40");
        const std::string bad = r.badFields;
        if (bad.find('k') != std::string::npos) t.Edit12 = "abc";
        if (bad.find('d') != std::string::npos) t.Edit3 = "";
        if (bad.find('h') != std::string::npos) t.Edit5 = "1,5";
        if (bad.find('b') != std::string::npos) t.Edit23 = "x";
        if (bad.find('t') != std::string::npos) t.Edit4 = "4m";
        if (bad.find('s') != std::string::npos) t.Edit2 = "-";
        if (bad.find('o') != std::string::npos) t.Edit7 = "16:00";
        try {
            sun.SetTaiyouParams(t);
            ADD_FAILURE() << "no error";
        } catch (const ConvertError& e) {
            EXPECT_EQ(e.Field(), r.wantField);
        }
        EXPECT_EQ(sun.GB_kita, before.GB_kita);
        EXPECT_EQ(sun.GB_idodo, before.GB_idodo);
        EXPECT_EQ(sun.SinIdo, before.SinIdo);
        EXPECT_EQ(sun.KitaHosei, before.KitaHosei);
    }
}

TEST(SunModel, GetTaiyouHouiKnownPositions) {
    struct Row {
        const char* name;
        int kisetu;
        double hour;
        double azimuthDeg;
        double factor;
    };
    // Noon altitude is 90 - latitude + declination: 30.55° in winter at 36°, 77.45° in summer.
    const Row rows[] = {
        {"winter noon", 0, 12.0, 0.0, 1.0 / std::tan(30.55 * kDeg)},
        {"equinox 9:00", 1, 9.0, -59.5536, 1.43378},
        {"equinox 15:00", 1, 15.0, 59.5536, 1.43378},
        {"summer noon", 2, 12.0, 0.0, 1.0 / std::tan(77.45 * kDeg)},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const SunModel sun = Sun(r.kisetu, "36");
        double azimuth = 99;
        double factor = 99;
        ASSERT_TRUE(sun.GetTaiyouHoui(r.hour, azimuth, factor));
        EXPECT_NEAR(azimuth / kDeg, r.azimuthDeg, 5e-5);
        EXPECT_NEAR(factor, r.factor, 5e-6);
    }
    const SunModel winter = Sun(0, "36");
    double azimuth = 99;
    double factor = 99;
    ASSERT_TRUE(winter.GetTaiyouHoui(12.0, azimuth, factor));
    EXPECT_EQ(azimuth, 0.0);
    EXPECT_NEAR(factor, 1.69428, 5e-6);
}

// Against the sun's direction vector in east/north/up coordinates, over Japan's latitudes,
// all seasons and the whole valid day; summer mornings put the sun north of east, where the
// cosine of the azimuth turns negative.
TEST(SunModel, GetTaiyouHouiMatchesSunVector) {
    for (int kisetu = 0; kisetu < kKisetuCount; ++kisetu) {
        for (int ido : {24, 30, 36, 40, 46}) {
            const SunModel sun = Sun(kisetu, std::to_string(ido));
            const double phi = ido * kDeg;
            const double delta = sun.Sekii;
            for (double hour = 7.5; hour <= 16.5; hour += 0.25) {
                SCOPED_TRACE(std::to_string(kisetu) + " " + std::to_string(ido) + " " +
                             std::to_string(hour));
                const double h = (hour - 12.0) * kPi / 12.0;
                const double west = std::cos(delta) * std::sin(h);
                const double south =
                    std::sin(phi) * std::cos(delta) * std::cos(h) - std::cos(phi) * std::sin(delta);
                const double up =
                    std::sin(phi) * std::sin(delta) + std::cos(phi) * std::cos(delta) * std::cos(h);
                double azimuth = 0;
                double factor = 0;
                ASSERT_TRUE(sun.GetTaiyouHoui(hour, azimuth, factor));
                EXPECT_NEAR(azimuth, std::atan2(west, south), 1e-9);
                EXPECT_NEAR(factor, std::hypot(west, south) / up, 1e-9);
            }
        }
    }
    double azimuth = 0;
    double factor = 0;
    ASSERT_TRUE(Sun(2, "36").GetTaiyouHoui(7.5, azimuth, factor));
    EXPECT_LT(azimuth, -kPi / 2);  // summer 7:30 at 36°: sun north of east
}

TEST(SunModel, GetTaiyouHouiValidRange) {
    const SunModel sun = Sun(0, "36");
    struct Row {
        double hour;
        bool ok;
    };
    const Row rows[] = {{7.5, true}, {16.5, true}, {7.49, false}, {16.51, false}, {0, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.hour);
        double azimuth = 99;
        double factor = 99;
        EXPECT_EQ(sun.GetTaiyouHoui(r.hour, azimuth, factor), r.ok);
        if (!r.ok) {
            EXPECT_EQ(azimuth, 0.0);
            EXPECT_EQ(factor, 1.0);
        } else {
            EXPECT_NE(azimuth, 0.0);
            EXPECT_GT(factor, 1.0);
        }
    }
    // No horizontal direction of the sun (sine and cosine of the azimuth both 0).
    SunModel flat;
    flat.CosIdo = 1;
    double azimuth = 99;
    double factor = 99;
    EXPECT_FALSE(flat.GetTaiyouHoui(12.0, azimuth, factor));
    EXPECT_EQ(azimuth, 0.0);
    EXPECT_EQ(factor, 1.0);
}

TEST(SunModel, TimeTexts) {
    struct Row {
        double hour;
        const char* hms;
        const char* hm;
        const char* ceil5;
    };
    const Row rows[] = {
        {8.5, "8:30:00", "08:30", "08:30'00\""},
        {16.0, "16:00:00", "16:00", "16:00'00\""},
        {8.1, "8:05:59", "08:05", "08:06'00\""},  // 8.1 - 8 is just under 0.1
        {8.7, "8:41:59", "08:41", "08:42'00\""},  // minutes truncated, not rounded
        {10.99, "10:59:24", "10:59", "10:59'25\""},
        {12.99999, "12:59:59", "12:59", "13:00'00\""},  // carry into minutes and hours
        {9.0 + 59.5 / 3600, "9:00:59", "09:00", "09:01'00\""},
        {9.0 + 1.5 / 3600, "9:00:01", "09:00", "09:00'05\""},
        {7.25, "7:15:00", "07:15", "07:15'00\""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.hour);
        EXPECT_EQ(JikokuToHms(r.hour), r.hms);
        EXPECT_EQ(JikokuToHm(r.hour), r.hm);
        EXPECT_EQ(JikokuToHmsCeil5(r.hour), r.ceil5);
    }
}

}  // namespace
}  // namespace zuka
