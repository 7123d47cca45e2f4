// Reading the user's selection into the entity lists of the building acquisition.
#pragma once

#include "cad/automation.h"
#include "geom/workspace.h"

namespace zuka {

// Empties AryLine, AryCircle, AryEllipse, AryArc, AryLwp and AryLwpEle, then reads every
// line, circle, arc, ellipse and polyline of the selection set into them (anything else is
// ignored). Returns count(AryLine) + count(AryCircle) + count(AryLwp). Automation errors pass
// to the caller. An entity with a number that is not finite, or a point, radius or thickness
// beyond kMaxCoordinate (its extruded top and raised vertices included), throws EntityRefused
// naming its handle.
int ReadSelEntities(SelectionSet& ss, Workspace& ws);

// Appends one entity to the entity lists as ReadSelEntities does; false (nothing appended) for
// a kind the acquisition ignores.
bool ReadSelEntity(Entity& e, Workspace& ws);

}  // namespace zuka
