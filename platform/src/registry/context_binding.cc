#include "registry/context_binding.h"

#include <atomic>

namespace tq {
namespace platform {

namespace {
std::atomic<uint32_t> g_current_ctx{0};
}

void SetCurrentContext(uint32_t ctx_id) { g_current_ctx.store(ctx_id, std::memory_order_relaxed); }

uint32_t CurrentContext() { return g_current_ctx.load(std::memory_order_relaxed); }

}  // namespace platform
}  // namespace tq
