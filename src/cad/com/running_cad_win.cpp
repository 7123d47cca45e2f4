#include "cad/com/com_connector.h"
#include "cad/running_cad.h"

namespace zuka {

std::unique_ptr<CadConnector> RunningCadConnector() {
    return std::make_unique<com::ComConnector>();
}

}  // namespace zuka
