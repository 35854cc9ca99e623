// Helpers shared by the bookkeeping families: level strings, product-relative
// key paths below a product's current version, and value-name walks.
#pragma once

#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "registry/registry_core.h"

namespace tq {

// Level strings must name registry keys: longer ones are not levels.
constexpr size_t kLevelMax = TQREG_MAX_NAME;
// Name capacity of the value-name walks (caller buffers hold 500 bytes).
constexpr unsigned kWalkNameCapacity = 500;

// A product argument names a product only when non-null and non-empty.
inline bool IsProduct(const char *product) { return product != nullptr && *product != '\0'; }

// A level string is present when non-null, non-empty and short enough to
// name a key.
inline bool IsLevel(const char *level) {
  return level != nullptr && *level != '\0' && strlen(level) <= kLevelMax;
}

// Base-10 strtol test used for service-pack and state values: true when the
// text converts to a non-zero number.
inline bool IsNonZeroNumber(const char *text) {
  return text != nullptr && strtol(text, nullptr, 10) != 0;
}

// Copies a present level into out; false (out untouched) otherwise.
inline bool TakeLevel(std::string &out, const char *level) {
  if (!IsLevel(level)) return false;
  out = level;
  return true;
}

// The product's current version (copied out of the service's buffer), or
// false when it has none.
bool CurrentVersionOf(std::string &out, const char *product);
// The product's current service pack (TQPROD_GetCurrentServicePack), or
// false when it has none.
bool CurrentServicePackOf(std::string &out, const char *product);
// The product's current minor service pack (TQPROD_GetCurrentMSP), or false.
bool CurrentMspOf(std::string &out, const char *product);

// Product-relative path of the product's current version key followed by
// the given parts; false without a current version or when too long.
bool VersionKeyPath(std::string &out, const char *product,
                    std::initializer_list<const char *> more = {});

// Absolute form (root prefixed) of a product-relative path.
bool AbsolutePath(std::string &out, const std::string &relative);

// Reads the name of the index-th value of an open key into name (capacity
// kWalkNameCapacity). True when there is such a value; values whose data is
// large still count.
bool EnumValueName(TQHKEY key, uint32_t index, char *name);

// True when the absolute key exists and holds a value of that name.
bool KeyHasValue(const std::string &absoluteKey, const char *valueName);

// A walk's cursor: the remembered product in an N-byte buffer and an index.
template <size_t N>
struct WalkCursor {
  char product[N];
  uint32_t index;

  // A non-null product restarts the walk. False when it does not fit (the
  // cursor is then left naming no product).
  bool Restart(const char *p) {
    if (p == nullptr) return true;
    index = 0;
    size_t len = strlen(p);
    if (len >= N) {
      product[0] = '\0';
      return false;
    }
    memcpy(product, p, len + 1);
    return true;
  }
};

}  // namespace tq
