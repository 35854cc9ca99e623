// Forced answers of the interposed context-database calls (interpose.cc).
#pragma once

#include <limits.h>

namespace flagtest {
constexpr int kNotForced = INT_MIN;
extern int g_forced_bridge;
extern int g_forced_junction;
}  // namespace flagtest
