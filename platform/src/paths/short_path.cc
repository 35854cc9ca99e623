// Short path names. Linux has no second, abbreviated name for a file, so the
// short form of a path is its shortest plain spelling: the same file named
// without redundant separators, "." or ".." components.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "files/native_path.h"
#include "tqplatform.h"

namespace tq {
namespace paths {
namespace {

// Folds the path lexically: slashes only, no empty or "." components, ".."
// taking away the component before it (".." stays at the start of a
// relative path and vanishes at the root).
std::string Fold(const char *path) {
  std::string p = platform::NativePath(path);
  const bool absolute = !p.empty() && p[0] == '/';
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= p.size()) {
    size_t end = p.find('/', pos);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty() && parts.back() != "..") {
        parts.pop_back();
        continue;
      }
      if (absolute) continue;
    }
    parts.push_back(part);
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '/';
    out += parts[i];
  }
  if (out.empty()) out = ".";
  return out;
}

bool SameFile(const struct stat &a, const struct stat &b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace
}  // namespace paths
}  // namespace tq

extern "C" {

TQAPI int tqGetShortPathName(const char *path, char *buffer, int capacity) {
  if (path == nullptr || *path == '\0' || buffer == nullptr || capacity < 1) return -1;
  std::string native(path);
  for (char &c : native)
    if (c == '\\') c = '/';
  struct stat original;
  if (stat(native.c_str(), &original) != 0) return 0;

  std::string folded = tq::paths::Fold(path);
  struct stat st;
  if (stat(folded.c_str(), &st) != 0 || !tq::paths::SameFile(st, original)) {
    // ".." after a symbolic link: only the resolved path names the file.
    char *real = realpath(native.c_str(), nullptr);
    if (real == nullptr) return 0;
    folded = real;
    free(real);
  }
  if (folded.size() >= static_cast<size_t>(capacity) || folded.size() > INT_MAX - 1) return 0;
  memcpy(buffer, folded.c_str(), folded.size() + 1);
  return static_cast<int>(folded.size());
}

}  // extern "C"
