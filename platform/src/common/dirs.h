// Directory creation shared by the platform's stores and file functions.
#pragma once

#include <string>

namespace tq {

// mkdir -p with mode 0755: true when dir is a directory afterwards (parts
// made meanwhile by another process count). On failure errno says why.
bool MakeDirs(const std::string &dir);

}  // namespace tq
