// Fixed system paths ("/etc/cd.ver", "/opt/TQInstLog", "/tmp", ...) are
// prefixed with $TQ_SYSROOT (empty by default) so that tests and sandboxes
// never touch the machine's real files.
#pragma once

#include <stdlib.h>

#include <string>

namespace tq {

inline std::string SysPath(const char *fixed) {
  const char *root = getenv("TQ_SYSROOT");
  std::string out = root ? root : "";
  out += fixed ? fixed : "";
  return out;
}

}  // namespace tq
