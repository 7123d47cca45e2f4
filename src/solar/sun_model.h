// Sun model: solar declination by season, sun azimuth and shadow-length factor for a clock
// hour, and the time texts printed beside shadows.
//
// Glossary: taiyou sun, houi azimuth, sekii declination, ido latitude (do/hun/byou degrees/
// minutes/seconds), kita north, hosei correction, kisetu season, kaisi/owari start/end hour,
// takasa height, jikoku clock time, touji winter solstice.
//
// Angles inside are radians. The sun's azimuth is measured from south, positive toward west
// (afternoon), in (-pi, pi]. Drawing directions are counter-clockwise from the drawing's +x axis;
// GB_kita is the drawing direction of true north in degrees (90 = north up). Clock hours are
// decimal local solar hours (8.5 = 8:30); the model is valid from 7.5 to 16.5 inclusive.
#pragma once

#include <string>

namespace zuka {

// Declination of the winter solstice, radians (-23.45 degrees); the summer solstice is its
// negative and the equinox 0.
inline constexpr double kToujiSekii = -0.40927970959267024;

// Season items of RadioGroup1 in order: 冬至, 秋春, 夏至.
inline constexpr int kKisetuCount = 3;

// The window's texts that the sun set-up reads, as typed.
struct TSunTexts {
    std::string Edit12;   // true north, degrees
    std::string Edit3;    // latitude degrees
    std::string Edit5;    // latitude minutes
    std::string Edit23;   // latitude seconds
    std::string Edit4;    // measurement plane height, metres
    std::string Edit2;    // start hour
    std::string Edit7;    // end hour
    int RadioGroup1 = 0;  // season index
};

// One sun for one place, season and drawing orientation. A plain value: every command may keep
// its own copy.
class SunModel {
public:
    // Sets Sekii from the season index (0 winter, 1 equinox, 2 summer). An index outside the
    // table (-1: nothing selected) keeps the previous value, 0 before the first selection.
    void RadioGroup1Click(int itemIndex);

    // The set-up every drawing command performs before asking for sun positions: converts the
    // texts in the order Edit12, Edit3, Edit5, Edit23, Edit4, Edit2, Edit7 (the season index is
    // taken between Edit4 and Edit2), then sets the latitude's sine and cosine, the sine and
    // cosine of Sekii and KitaHosei. Sekii itself is not changed here.
    // Throws ConvertError naming the settings key of the first field whose text is no number; the
    // model is then left as it was.
    void SetTaiyouParams(const TSunTexts& t);

    // Only the latitude (degrees) and the sine and cosine of the current Sekii, for tables that
    // fix their own season and need no form fields.
    void SetLatitudeOnly(double idoDeg);

    // Sun azimuth (radians from south, west positive) and shadow-length factor (cotangent of
    // the altitude; negative below the horizon) for a clock hour. Returns false, with azimuth 0
    // and factor 1, for an hour outside 7.5..16.5 (both bounds inside) and when the azimuth is
    // undefined (its sine and cosine both 0).
    bool GetTaiyouHoui(double hour, double& azimuth, double& factor) const;

    // Drawing direction (radians, counter-clockwise from +x) in which the shadow of a point
    // falls for a sun azimuth; 4.5 pi - (azimuth + KitaHosei), not reduced to [0, 2 pi).
    double ShadowDir(double azimuth) const;

    double Sekii = 0;      // solar declination, radians
    double SinIdo = 0;     // sine of the latitude
    double CosIdo = 0;     // cosine of the latitude
    double SinSekii = 0;   // sine of Sekii
    double CosSekii = 0;   // cosine of Sekii
    double KitaHosei = 0;  // north correction, radians (reduced from above only)

    double GB_kita = 0;     // true north, degrees in the drawing
    double GB_idodo = 0;    // latitude degrees
    double GB_idohun = 0;   // latitude minutes
    double GB_idobyou = 0;  // latitude seconds
    double GB_takasa = 0;   // measurement plane height, mm
    int GB_kisetu = 0;      // season index
    double GB_kaisi = 0;    // start hour
    double GB_owari = 0;    // end hour
};

// "H:MM:SS": hours without padding, minutes and seconds truncated, two digits (8.5 -> 8:30:00).
std::string JikokuToHms(double hour);

// "HH:MM": both at least two digits, minutes truncated (8.5 -> 08:30, 8.7 -> 08:41).
std::string JikokuToHm(double hour);

// HH:MM'SS" with the seconds rounded up to the next multiple of five and the carries into
// minutes and hours (10.99 -> 10:59'25", 12.99999 -> 13:00'00").
std::string JikokuToHmsCeil5(double hour);

// The latitude typed as degrees, minutes and seconds (Edit3, Edit5, Edit23), in degrees.
// Throws ConvertError naming the settings key of the first field whose text is no number.
double LatitudeOfTexts(const std::string& edit3, const std::string& edit5,
                       const std::string& edit23);

}  // namespace zuka
