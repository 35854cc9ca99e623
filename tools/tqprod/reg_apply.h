// Applies a parsed .reg file to the registry as one unit: every change is
// recorded with what it replaced, and a failure undoes the changes already
// made, newest first, so the registry is left as it was.
#pragma once

#include <string>

#include "reg_format.h"

namespace tqtool {

struct ApplyStats {
  unsigned keys = 0, values = 0, deleted_keys = 0, deleted_values = 0;
};

// False with `why` ("line N: ...") when an operation failed; `rolled_back`
// tells whether the undo succeeded.
bool ApplyReg(const RegFile &file, ApplyStats &stats, std::string &why, bool &rolled_back,
              bool quiet = false);

}  // namespace tqtool
