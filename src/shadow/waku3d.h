// The 3D preview: a wire-frame picture of the building model, turned about the vertical axis
// and tilted toward the viewer, fitted into a small picture.
//
// Glossary: waku frame (the wire-frame picture), chokka directly below (the footprints and the
// vertical drops under raised points), cvsc picture scale (drawing units per pixel), xcen/ycen
// centre of the projected picture, Hdeg/Vdeg turn and tilt in degrees.
#pragma once

#include <vector>

#include "geom/records.h"

namespace zuka {

// What a line of the picture shows; the value is its pen and colour choice.
enum class WakuKind { Top = 0, Footprint = 1, Drop = 2 };

struct TWakuLine {
    TAcadPoint st;
    TAcadPoint ed;
    WakuKind kind = WakuKind::Top;
};

// The picture's lines in model coordinates: every wall top edge of `tatemono` (Top); with
// `chokka` then every wall's footprint (both ends at z = 0, Footprint), then for every wall a
// vertical drop from each end above z = 0 down to the ground (start end first, Drop).
std::vector<TWakuLine> WakuLines(const std::vector<TLineEnt>& tatemono, bool chokka);

// The projected point of p (x right, y up; z = 0): the plan position turned by
// h = (360 - hDeg) degrees clockwise, then tilted by vDeg degrees so that heights show upwards:
// X = r cos a, Y = r sin a cos v + z sin v, with r the plan distance from the origin and
// a = (full-circle plan angle of p) - h. A point with negative x stays on its own side of the
// origin; a point at the origin has a = -h.
TAcadPoint ProjectWaku(TAcadPoint p, double hDeg, double vDeg);

// One drawing of the preview.
struct TWakuPicture {
    std::vector<TWakuLine> lines;  // projected, in the order of WakuLines
    double xmin = 0;               // the box of all projected end points
    double ymin = 0;
    double xmax = 0;
    double ymax = 0;
    double cvsc = 0;  // drawing units per pixel used for this drawing (always above 0)
    double xcen = 0;  // centre of the box
    double ycen = 0;
    // The scale to keep for the next drawing: `cvsc` as it came in when it was above 0, the
    // fitted scale when it was 0, and 0 again when the box has no size (the next drawing fits
    // anew rather than divide by a zero scale).
    double keptCvsc = 0;
};

// Projects the lines and fits them: with cvsc above 0 the scale stays and only the centre
// moves; with cvsc 0 (or below) the scale becomes |1.2 max(box width, box height) / widthPx|.
// A box of no size (a single point, or no lines) draws at 1 unit per pixel.
TWakuPicture DrawWaku3D(const std::vector<TLineEnt>& tatemono, bool chokka, double hDeg,
                        double vDeg, double cvsc, int widthPx);

// The pixel of a projected point: column (X - xcen) / cvsc + W / 2 and row
// H - ((Y - ycen) / cvsc + W / 2), each bracket rounded to the nearest integer (both offsets
// use half the width W).
struct TWakuPixel {
    int col = 0;
    int row = 0;
};
TWakuPixel WakuPixel(const TWakuPicture& pic, TAcadPoint xy, int widthPx, int heightPx);

// One step of the turn or tilt buttons, in degrees: up from 360 or more gives 0, else +5;
// down from 0 or less gives 360, else -5.
int StepWakuAngle(int deg, bool up);

}  // namespace zuka
