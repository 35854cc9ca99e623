// Watches and, on request, breaks the platform calls of the context
// operations. The library reaches the platform only through exported
// symbols, so these definitions in the test program win; every call not
// told to fail goes on to the platform.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace vstest {

struct Platform {
  std::vector<unsigned> set_env_calls;   // every tq_set_vs_env argument
  std::set<unsigned> failing_env;        // tq_set_vs_env fails for these ids
  int fail_env_from = -1;                // that call number and later fail (-1: none)
  int reset_calls = 0;                   // TqkResetGlobalEntries calls
  int fail_reset_from = -1;              // that call number and later fail (-1: none)
  int iterator_inits = 0;
  bool fail_iterator_init = false;
  bool fail_instances = false;
  std::vector<std::string> errors;       // messages handed to error()
};

extern Platform g_platform;

// Forget recorded calls and forced failures.
void ResetPlatform();

}  // namespace vstest
