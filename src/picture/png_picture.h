// PNG pictures, painted with Qt on an offscreen image: the items of a plan picture as the SVG
// writer draws them, and the text painting the window's drawing view shares.
#pragma once

#include <filesystem>

#include <QColor>
#include <QPointF>
#include <QString>

#include "picture/svg_picture.h"

class QPainter;

namespace zuka {

// Makes sure Qt can paint text (a GUI application object exists; without one, an offscreen
// one is made for the rest of the process).
void EnsureQtPainting();

// The picture `pixels` wide, as SVG's ToText lays it out, written as PNG. False when the file
// cannot be written.
bool SavePng(const SvgPicture& pic, const std::filesystem::path& path, double pixels = 1000);

// A text of heightPx pixels (the CAD's text height, which fonts call the em) whose baseline
// starts (anchor 0), is centred (1) or ends (2) at `base` (picture pixels, y down), turned
// counter-clockwise by rotation (radians). Japanese texts are shown in a CJK font.
void PaintText(QPainter& p, QPointF base, const QString& text, double heightPx, double rotation,
               int anchor, const QColor& colour);

}  // namespace zuka
