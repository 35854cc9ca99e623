#include "common/dirs.h"

#include <errno.h>
#include <sys/stat.h>

namespace tq {

namespace {

bool IsDirectory(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

bool MakeDirs(const std::string &dir) {
  if (dir.empty()) return false;
  if (IsDirectory(dir)) return true;  // the usual case: one system call
  for (size_t pos = dir.find('/', 1);; pos = dir.find('/', pos + 1)) {
    std::string part = dir.substr(0, pos);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    if (pos == std::string::npos) break;
  }
  return IsDirectory(dir);
}

}  // namespace tq
