// Registering the message filter where calls reach the drawing host in the same process and are
// never rejected: only the state is recorded. Windows installs it with the system
// (cad/com/message_filter.cpp).
#include "cad/bridge.h"

namespace zuka {

void TMessageFilter::RegisterFilter() { registered_ = true; }

void TMessageFilter::RevokeFilter() {
    registered_ = false;
    FOldFilter = nullptr;
    filter_ = nullptr;
    apartmentStarted_ = false;
}

}  // namespace zuka
