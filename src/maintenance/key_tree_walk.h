// The key-tree walk shared by the recursive copy, the backup writer and the
// registry dump: depth-first over a key of the product registry and its
// descendants, without recursion, with one enumeration index per level.
#pragma once

#include <stddef.h>

namespace tq {

// Deepest level visited below the start key; one level more gives -2.
constexpr int kWalkMaxDepth = 100;
// Every path the walk forms fits a buffer of this size with its terminator.
constexpr size_t kWalkPathMax = 1024;
// Capacities of the names read from the registry service.
constexpr unsigned kWalkSubkeyNameCapacity = 200;
constexpr unsigned kWalkValueNameCapacity = 500;

// What the walk hands to an action for the key it is visiting.
struct WalkedKey {
  const char *relative;  // path below the start key; "" at the start key
  const char *source;    // name relative to "SOFTWARE\Tarquel" (start name + "\" + relative)
  int depth;             // 0 at the start key
};

// The part of a walk that differs between its users.
class WalkAction {
 public:
  virtual ~WalkAction() = default;
  // The start key, before any subkey; key.source is the start name as given.
  virtual void AtStart(const WalkedKey &key) = 0;
  // A key reached by descending one level.
  virtual void AfterDescent(const WalkedKey &key) = 0;
  // A subkey named "PRNG" is being passed over.
  virtual void PassingPrng() {}
  // The walk is about to return -2.
  virtual void TooDeep() {}
};

// Walks the subtree named start (empty or "." for "SOFTWARE\Tarquel").
// 0 complete; -1 a key cannot be opened; -2 more than kWalkMaxDepth levels.
int WalkKeyTree(const char *start, WalkAction &action);

// True for an empty start name or "." (the product-family root).
bool IsRootName(const char *name);

// Calls fn(name) for each value name of the key with the given source name,
// through the value enumeration of TQPROD_GetKeyValues. False when the first
// enumeration call fails (no value, or the key cannot be opened). That
// enumeration remembers names of at most 249 characters: the values of a key
// with a longer source name are not seen.
template <typename Fn>
bool ForEachValueName(const char *source, Fn &&fn);

}  // namespace tq

#include "tqprod50.h"

template <typename Fn>
bool tq::ForEachValueName(const char *source, Fn &&fn) {
  char name[kWalkValueNameCapacity];
  if (TQPROD_GetKeyValues(source, name, 0) != 0) return false;
  do {
    fn(static_cast<const char *>(name));
  } while (TQPROD_GetKeyValues(nullptr, name, 0) == 0);
  return true;
}
