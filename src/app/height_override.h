// Heights for flat plans: most plans arrive as outlines at height 0. A height given to a layer
// or to one entity (by its handle) for this run puts the outlines the acquisition reads from it
// at that height, as if their elevation held it, so that they stand as buildings of that height.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cad/automation.h"
#include "geom/workspace.h"

namespace zuka {

struct THeightOverride {
    std::string key;  // a layer name, or an entity handle (any letter case)
    double metres = 0;
    int entities = 0;  // entities given this height by the last acquisition
};

// "KEY=METRES" (the last "=" divides; the key is not empty, the metres a number from 0 to
// 1,000,000, kMaxCoordinate in metres); nullopt for anything else.
std::optional<THeightOverride> ParseHeightOverride(const std::string& text);

// The override for an entity: the one naming its handle, else the one naming its layer.
THeightOverride* FindHeightOverride(std::vector<THeightOverride>& overrides, Entity& e);

// ReadSelEntity with the override that names the entity applied: the height as the z of
// everything read from it (its end points, centre, elevation and vertices); the override counts
// it. False (nothing read) for a kind the acquisition ignores.
bool ReadTatemonoEntity(Entity& e, Workspace& ws, std::vector<THeightOverride>& overrides);

// ReadSelEntities with the overrides applied: every entity an override names gets the height
// as the z of everything read from it (its end points, centre, elevation and vertices), and
// the override counts it. Returns the count ReadSelEntities gives. Automation errors pass on.
int ReadTatemonoEntities(SelectionSet& ss, Workspace& ws, std::vector<THeightOverride>& overrides);

}  // namespace zuka
