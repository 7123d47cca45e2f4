// The triangle-area table (三斜計算 table) of one sky map: one row per triangle with base,
// height and area in paper millimetres, the totals and the sky-factor formula, drawn at its
// own origin (the top-left grid corner) for the user to place.
//
// Glossary: sansya triangle, teihen base, takasa height, menseki area, ougi sector,
// memori scale tick, mentaka measurement plane height.
#pragma once

#include <string>
#include <vector>

#include "cad/dxf_text.h"
#include "geom/records.h"

namespace zuka {

struct TSansyaTable {
    std::vector<TSansya> rows;  // at least one
    double scale = 1;           // S, drawing units per paper mm
    double radius = 0;          // R, drawing units
    double textSize = 0;        // T', drawing units; the row height is 2T'
    std::string memori;         // scale-tick interval as typed (Edit13 / Edit24)
    double mentakaM = 0;        // measurement plane height, metres
    double sansyaGoukei = 0;    // T, sum of the areas
    double kakudoDeg = 0;       // sector angle, degrees (3 decimals)
    double ougiMenseki = 0;     // sector area
    double tousyaMenseki = 0;   // projected area P
    double enMenseki = 0;       // circle area C
    double tenkuRitu = 0;       // sky factor F, percent
    std::string layer;          // triangle layer (Edit36)
};

// A new DXF list (header, linetype table, entities start) holding the table: a grid 16u wide
// (u = 2T') of n + 3 rows and four columns of 4u, the last row spanning the first three, the
// four title lines above it and the totals and formula below. The file end is left to the
// insertion.
DxfList BuildSansyaTable(const TSansyaTable& t);

}  // namespace zuka
