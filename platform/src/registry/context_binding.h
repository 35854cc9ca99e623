// The process-wide current virtual-system context of the registry service.
// Internal to libtqplatform: the context database sets it when the process
// switches context; TqkResetGlobalEntries() reads it to pick the database.
#pragma once

#include <stdint.h>

namespace tq {
namespace platform {

// Context 0 is the main system; every other context has its own database.
void SetCurrentContext(uint32_t ctx_id);
uint32_t CurrentContext();

}  // namespace platform
}  // namespace tq
