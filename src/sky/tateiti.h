// The building position check table (建物位置確認表): for every numbered corner of the building
// outline on a sky map, its place in the site plan (plan distance from the measurement point
// and height, metres) and on the sky map (azimuth, elevation h, R*cos h on paper), so that a
// checker can verify each projected point by hand.
//
// Glossary: tateiti building position, kyori distance, takasa height, houido azimuth,
// miagedo elevation angle, meori scale graduation, mentaka measurement plane height.
#pragma once

#include <string>
#include <vector>

#include "cad/dxf_text.h"
#include "geom/records.h"

namespace zuka {

// What the table reads from the window for one sky-map preset, converted once.
struct TTateitiParams {
    double scale = 100;     // S, drawing units per paper mm (Edit19)
    double radius = 25;     // map radius R_p, paper mm (Edit15 type A / Edit21 type B)
    double textSize = 1.5;  // text size t_p, paper mm (Edit20 / Edit22)
    std::string meori;      // graduation interval as typed, degrees (Edit13 / Edit24)
    std::string mentaka;    // measurement plane height as typed, metres (MENTAKA); no number = 0
    double kitaDeg = 90;    // true north in the drawing, degrees (Edit12)
    std::string layer = "ZUKA_TTATEITI";  // Edit37
};

// The azimuth shown for a row: houido - kitaDeg + 90 brought into (-90, 270], counter-clockwise
// from the plan's east with true north at 90 (due east 0, south 270, south-east -45).
double TateitiAzimuth(double houido, double kitaDeg);

// The rows with no > 0, ordered by no ascending (exchange sort: for each position i every later
// row with a smaller no is swapped into i). Rows without a number are not listed.
std::vector<TTateiti> SortTateitiRows(const std::vector<TTateiti>& rows);

// Appends the table's entities for the sorted rows to `dxf` (the caller starts and ends the
// file). Row pitch W = 2 * textSize * scale, text height W / 2; the block origin is the top-left
// corner of the grid, the title lines stand above it and the rows go down.
void WriteTateitiTable(DxfList& dxf, const std::vector<TTateiti>& sorted, const TTateitiParams& p);

}  // namespace zuka
