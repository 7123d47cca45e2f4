// The message filter of the thread that calls the CAD, as the system's object broker asks it:
// an IMessageFilter that answers with TMessageFilter's policy (cad/bridge.h). TMessageFilter's
// RegisterFilter and RevokeFilter install and remove it with CoRegisterMessageFilter.
#pragma once

#include <objidl.h>

#include "cad/bridge.h"

namespace zuka::com {

// A new filter object (one reference) answering with `policy`, which must outlive it.
IMessageFilter* NewMessageFilter(const TMessageFilter& policy);

}  // namespace zuka::com
