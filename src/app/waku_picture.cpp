#include "app/waku_picture.h"

namespace zuka {

void ShowWakuView(Controller& c, int turnDeg, int tiltDeg, bool chokka) {
    c.form.UpDown3 = turnDeg;
    c.form.UpDown4 = tiltDeg;
    c.form.CheckBox1 = chokka;
    c.form.GB_cvsc = 0;
    c.DrawWaku3D(false);
}

SvgPicture WakuSvgPicture(const TWakuPicture& pic) {
    static const char* const kColours[] = {"#ff0000", "#c0c0c0", "#808080"};
    SvgPicture svg;
    svg.SetBackground("black");
    for (const TWakuLine& l : pic.lines)
        svg.AddLine(l.st, l.ed, kColours[static_cast<int>(l.kind)], 1.5);
    return svg;
}

}  // namespace zuka
