// The key-tree walk: one open key at a time, reopened by its full path after
// every descent or return, and a stack of enumeration indexes instead of
// recursion.
#include "maintenance/key_tree_walk.h"

#include <stdint.h>
#include <string.h>

#include <string>

#include "registry/registry_core.h"

namespace tq {
namespace {

constexpr const char kPrng[] = "PRNG";

// A fixed 1024-byte path buffer. Append refuses (and leaves the text as it
// was) when the result would not fit with its terminator.
class PathBuffer {
 public:
  PathBuffer() { text_[0] = '\0'; }
  const char *c_str() const { return text_; }
  size_t size() const { return len_; }
  bool empty() const { return len_ == 0; }
  void Clear() {
    len_ = 0;
    text_[0] = '\0';
  }
  bool Append(const char *s) { return Append(s, strlen(s)); }
  bool Append(const char *s, size_t n) {
    if (n >= kWalkPathMax - len_) return false;
    memcpy(text_ + len_, s, n);
    len_ += n;
    text_[len_] = '\0';
    return true;
  }
  // Appends "\" + s, or s alone while empty.
  bool AppendComponent(const char *s) {
    size_t n = strlen(s);
    if (len_ == 0) return Append(s, n);
    if (n + 1 >= kWalkPathMax - len_) return false;
    return Append("\\", 1) && Append(s, n);
  }
  // Drops the last component (all of it when there is no backslash).
  void DropLastComponent() {
    const char *sep = strrchr(text_, '\\');
    len_ = sep ? static_cast<size_t>(sep - text_) : 0;
    text_[len_] = '\0';
  }

 private:
  char text_[kWalkPathMax];
  size_t len_ = 0;
};

// Builds "SOFTWARE\Tarquel[\start][\relative]" and the source name
// "[start\]relative" (start left out for the root). False when a path does
// not fit its buffer: the walk then treats the key as one it cannot open.
bool FormPaths(const std::string &start, bool root, const PathBuffer &relative,
               PathBuffer &full, PathBuffer &source) {
  full.Clear();
  source.Clear();
  if (!full.Append(kRoot)) return false;
  if (!root && !full.AppendComponent(start.c_str())) return false;
  if (!relative.empty() && !full.AppendComponent(relative.c_str())) return false;
  if (root) return source.Append(relative.c_str());
  return source.Append(start.c_str()) &&
         (relative.empty() || source.AppendComponent(relative.c_str()));
}

}  // namespace

bool IsRootName(const char *name) {
  return name == nullptr || name[0] == '\0' || strcmp(name, ".") == 0;
}

int WalkKeyTree(const char *start_name, WalkAction &action) {
  const std::string start(start_name ? start_name : "");
  const bool root = IsRootName(start.c_str());
  uint32_t index[kWalkMaxDepth + 1] = {};
  int depth = 0;
  PathBuffer relative, full, source;

  // The start key goes by the name as given, "." included.
  action.AtStart(WalkedKey{"", start.c_str(), 0});

  for (;;) {
    if (!FormPaths(start, root, relative, full, source)) return -1;
    RegKey key;
    if (!key.Open(Root(), full.c_str())) return -1;

    char name[kWalkSubkeyNameCapacity];
    if (TqkRegEnumKey(key.get(), index[depth], name, sizeof name) != 0) {
      // No further subkey: back to the parent, which moves to its next one.
      key.Close();
      if (depth == 0) return 0;
      index[depth] = 0;
      --depth;
      ++index[depth];
      relative.DropLastComponent();
      continue;
    }
    name[sizeof name - 1] = '\0';

    if (strcmp(name, kPrng) == 0) {
      // Neither the key nor anything below it is visited; its later
      // siblings are.
      action.PassingPrng();
      ++index[depth];
      continue;
    }

    if (!relative.AppendComponent(name)) return -1;
    ++depth;
    if (depth > kWalkMaxDepth) {
      key.Close();
      action.TooDeep();
      return -2;
    }
    key.Close();
    if (!FormPaths(start, root, relative, full, source)) return -1;
    action.AfterDescent(WalkedKey{relative.c_str(), source.c_str(), depth});
  }
}

}  // namespace tq
