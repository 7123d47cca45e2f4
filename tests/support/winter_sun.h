// The sun of the shadow tests: the winter solstice at 36 degrees north, true north up the
// drawing, 8:00 to 16:00.
#pragma once

#include "solar/sun_model.h"

namespace zuka::testing_sun {

inline SunModel Winter36() {
    SunModel sun;
    sun.RadioGroup1Click(0);
    sun.SetTaiyouParams({"90", "36", "0", "0", "4", "8", "16", 0});
    return sun;
}

}  // namespace zuka::testing_sun
