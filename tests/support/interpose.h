// Interposed platform calls. The library reaches the platform only through
// its exported symbols, so these definitions in a test program win; every
// call not told to fail or to answer goes on to the platform. A program gets
// them by using g_platform.
#pragma once

#include <limits.h>

#include <set>
#include <string>
#include <vector>

namespace tqtest {

constexpr int kNotForced = INT_MIN;

struct Platform {
  int forced_bridge = kNotForced;        // answer of ctxdb_is_bridge
  int forced_junction = kNotForced;      // answer of ctxdb_is_junction
  std::vector<unsigned> set_env_calls;   // every tq_set_vs_env argument
  std::set<unsigned> failing_env;        // tq_set_vs_env fails for these ids
  int fail_env_from = -1;                // that call number and later fail (-1: none)
  int reset_calls = 0;                   // TqkResetGlobalEntries calls
  int fail_reset_from = -1;              // that call number and later fail (-1: none)
  int iterator_inits = 0;
  bool fail_iterator_init = false;
  bool fail_instances = false;
  std::string refused_delete;            // TqkRegDeleteKey of this exact path fails
  std::vector<std::string> errors;       // messages handed to error()
};

extern Platform g_platform;

// Forgets recorded calls and forced answers.
void ResetPlatform();

}  // namespace tqtest
