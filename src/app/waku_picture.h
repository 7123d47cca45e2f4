// The 3D preview for front ends that show it as a file: the view set as the window's buttons
// would leave it, and the picture as the window shows it (black, red wall tops, grey
// footprints and drops).
#pragma once

#include "app/controller.h"
#include "picture/svg_picture.h"

namespace zuka {

// Turns the preview to `turnDeg` and `tiltDeg` with or without 直下, fits it anew and draws it.
void ShowWakuView(Controller& c, int turnDeg, int tiltDeg, bool chokka);

// The preview's lines in their projected coordinates, on black.
SvgPicture WakuSvgPicture(const TWakuPicture& pic);

}  // namespace zuka
