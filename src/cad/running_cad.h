// The register of the CADs running on this machine, reached over their automation object
// model: on Windows the bridge of cad/com/; elsewhere there is none.
#pragma once

#include <memory>

#include "cad/automation.h"

namespace zuka {

// A new register of the running CADs; nullptr where the system has none (everywhere but
// Windows).
std::unique_ptr<CadConnector> RunningCadConnector();

}  // namespace zuka
