#include "sky/triangle_table.h"

#include <cstddef>
#include <optional>
#include <string>

#include "base/number.h"

namespace zuka {

namespace {

// Texts of the table. The gaps in three titles are ideographic spaces.
constexpr const char* kTitleMemori = "目盛間隔 ";
constexpr const char* kTitleMentaka = "正射影　測定面高さ = ";
constexpr const char* kTitleRadius = "天空図半径(R) = ";
constexpr const char* kTitleRadiusUnit = "(図寸mm)";
constexpr const char* kTitleDivision = "三斜計算　最大分割角 = 10%%d";
constexpr const char* kHeadNo = "三角形No.";
constexpr const char* kHeadTeihen = "底辺(mm)";
constexpr const char* kHeadTakasa = "高さ(mm)";
constexpr const char* kHeadMenseki = "面積(mm2)";
constexpr const char* kSumSansya = "三斜面積合計";
constexpr const char* kSumOugi = "扇形面積 (扇形中心角 = ";
constexpr const char* kSumTousya = "扇形面積 - 三斜面積合計 = 水平円射影面積";
constexpr const char* kSumEn = "天空図円面積";
constexpr const char* kSumTenkuRitu = "三斜計算　　天空率";
constexpr const char* kDegreeSign = "%%d";

}  // namespace

DxfList BuildSansyaTable(const TSansyaTable& t) {
    DxfList dxf;
    StartDxfFile(dxf);
    DxfWriter w(dxf);
    const double u = 2 * t.textSize;
    const int n = static_cast<int>(t.rows.size());
    const TDxfLineStyle plan{std::nullopt, false, false};

    for (int k = 0; k <= n + 2; ++k) {
        const std::string y = FormatFixed(0 - u * k, 4);  // 0 - ... keeps the top line "0.0000"
        w.Line(t.layer, kDxfZero, y, FormatFixed(16 * u, 4), y, plan);
    }
    for (int k = 0; k <= 4; ++k) {
        const double y1 = (k == 1 || k == 2) ? -u * (n + 1) : -u * (n + 2);
        w.Line(t.layer, 4 * u * k, kDxfZero, 4 * u * k, FormatFixed(y1, 4), plan);
    }

    const auto text = [&](const std::string& s, double x, double y, int horizontal) {
        TDxfText d;
        d.at = {x, y, kDxfZero};
        d.height = t.textSize;
        d.text = s;
        d.horizontal = horizontal;
        d.vertical = 2;
        d.alignPoint = d.at;
        w.Text(t.layer, d);
    };
    text(kTitleMemori + t.memori + kDegreeSign, u, 3.5 * u, 0);
    text(kTitleMentaka + FormatFixed(t.mentakaM, 3) + " m", u, 2.5 * u, 0);
    text(kTitleRadius + FormatFixed(t.radius / t.scale, 3) + kTitleRadiusUnit, u, 1.5 * u, 0);
    text(kTitleDivision, u, 0.5 * u, 0);
    text(kHeadNo, 2 * u, -0.5 * u, 1);
    text(kHeadTeihen, 7 * u, -0.5 * u, 2);
    text(kHeadTakasa, 11 * u, -0.5 * u, 2);
    text(kHeadMenseki, 15.5 * u, -0.5 * u, 2);
    for (int i = 0; i < n; ++i) {
        const TSansya& r = t.rows[static_cast<std::size_t>(i)];
        const double y = -u * (i + 1.5);
        text(std::to_string(r.no), 2 * u, y, 1);
        text(FormatFixed(r.teihen / t.scale, 5), 7.5 * u, y, 2);
        text(FormatFixed(r.takasa / t.scale, 5), 11.5 * u, y, 2);
        text(FormatFixed(r.menseki, 3), 15.5 * u, y, 2);
    }
    text(kSumSansya, u, -u * (n + 1.5), 0);
    text(FormatFixed(t.sansyaGoukei, 3), 15.5 * u, -u * (n + 1.5), 2);
    text(kSumOugi + FormatFixed(t.kakudoDeg, 3) + kDegreeSign + ")", 0.5 * u, -u * (n + 2.5), 0);
    text(FormatFixed(t.ougiMenseki, 3), 15.5 * u, -u * (n + 2.5), 2);
    text(kSumTousya, 0.5 * u, -u * (n + 3.5), 0);
    text(FormatFixed(t.tousyaMenseki, 3), 15.5 * u, -u * (n + 3.5), 2);
    text(kSumEn, 0.5 * u, -u * (n + 4.5), 0);
    text(FormatFixed(t.enMenseki, 3), 15.5 * u, -u * (n + 4.5), 2);
    text(kSumTenkuRitu, 0.5 * u, -u * (n + 5.5), 0);
    text("(" + FormatFixed(t.enMenseki, 3) + " - " + FormatFixed(t.tousyaMenseki, 3) + " ) / " +
             FormatFixed(t.enMenseki, 3) + " * 100 = " + FormatFixed(t.tenkuRitu, 3) + "%",
         0.5 * u, -u * (n + 6.5), 0);
    return dxf;
}

}  // namespace zuka
