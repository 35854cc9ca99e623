// Paths of the family's code may use backslashes as separators (some are
// formed the Windows way); the platform turns them into slashes before use.
#pragma once

#include <string>

namespace tq {
namespace platform {

inline std::string NativePath(const char *path) {
  std::string p(path);
  for (char &c : p)
    if (c == '\\') c = '/';
  return p;
}

}  // namespace platform
}  // namespace tq
