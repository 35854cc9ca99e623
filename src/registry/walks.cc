// Walks over the subkeys or value names of a key, one entry per call, each
// with its own process-wide cursor. Results: 0 entry returned, -1 versioned
// but no current version, -2 key cannot be opened, -3 no entry (end).
#include <string.h>

#include <string>

#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {
namespace {

template <size_t N>
struct Cursor {
  char product[N];
  uint32_t index;
};

Cursor<256> g_enum_key;
Cursor<250> g_enum_key_res;
Cursor<250> g_key_values;
Cursor<250> g_res_key_values;

constexpr unsigned kKeyNameCapacity = 200;
constexpr unsigned kValueNameCapacity = 500;
constexpr unsigned kValueDataCapacity = 500;

// A non-null product restarts the walk. False when the name does not fit the
// cursor's buffer (the cursor is then left empty).
template <size_t N>
bool Restart(Cursor<N> &c, const char *product) {
  if (product == nullptr) return true;
  c.index = 0;
  size_t len = strlen(product);
  if (len >= N) {
    c.product[0] = '\0';
    return false;
  }
  memcpy(c.product, product, len + 1);
  return true;
}

// Absolute path of the product key (versioned: its current-version key), or
// of the reserved key below it when reserved is set. 0, -1 or -2.
int WalkKeyPath(std::string &out, const char *product, bool reserved, const char *subkey,
                int versioned) {
  if (product[0] == '\0') return -2;  // no walk was ever started
  std::string rel;
  if (reserved) {
    if (versioned && CurrentVersion(product) == nullptr) return -1;
    if (!RelativeReservedPath(rel, product, subkey, versioned)) return -2;
  } else if (versioned) {
    const char *cv = CurrentVersion(product);
    if (cv == nullptr) return -1;
    if (!JoinKeyPath(rel, {product, cv})) return -2;
  } else {
    rel = product;
  }
  return JoinKeyPath(out, {kRoot, rel.c_str()}) ? 0 : -2;
}

template <size_t N>
int NextSubkey(Cursor<N> &c, const char *product, bool reserved, const char *subkey,
               char *name, int versioned) {
  if (!Restart(c, product) || name == nullptr) return -2;
  std::string path;
  bool family_root = !reserved && (strcmp(c.product, "TQROOT") == 0 || strcmp(c.product, ".") == 0);
  if (family_root) {
    path = kRoot;
  } else if (int rc = WalkKeyPath(path, c.product, reserved, subkey, versioned)) {
    return rc;
  }
  RegKey key;
  if (!key.Open(Root(), path.c_str())) return -2;
  if (TqkRegEnumKey(key.get(), c.index, name, kKeyNameCapacity) != 0) return -3;
  ++c.index;
  return 0;
}

template <size_t N>
int NextValueName(Cursor<N> &c, const char *product, bool reserved, const char *subkey,
                  char *name, int versioned) {
  if (!Restart(c, product) || name == nullptr) return -2;
  std::string path;
  if (int rc = WalkKeyPath(path, c.product, reserved, subkey, versioned)) return rc;
  RegKey key;
  if (OpenProductKey(path.c_str(), key, nullptr, 0) != 0) return -2;
  char data[kValueDataCapacity];
  unsigned name_size = kValueNameCapacity, data_size = sizeof data, type = 0;
  int rc = TqkRegEnumValue(key.get(), c.index, name, &name_size, nullptr, &type, data, &data_size);
  if (rc == TQREG_E_MOREDATA) {
    // Only the name is returned: a value whose data exceeds the data buffer
    // is still an entry of the walk.
    name_size = kValueNameCapacity;
    data_size = 0;
    rc = TqkRegEnumValue(key.get(), c.index, name, &name_size, nullptr, &type, nullptr,
                         &data_size);
  }
  if (rc != 0) return -3;
  ++c.index;
  return 0;
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_GetEnumKey(const char *product, char *name, int versioned) {
  return NextSubkey(g_enum_key, product, false, nullptr, name, versioned);
}

TQAPI int TQPROD_GetEnumKeyFromRes(const char *product, const char *subkey, char *name,
                                   int versioned) {
  return NextSubkey(g_enum_key_res, product, true, subkey, name, versioned);
}

TQAPI int TQPROD_GetKeyValues(const char *product, char *name, int versioned) {
  return NextValueName(g_key_values, product, false, nullptr, name, versioned);
}

TQAPI int TQPROD_GetResKeyValues(const char *product, const char *subkey, char *name,
                                 int versioned) {
  return NextValueName(g_res_key_values, product, true, subkey, name, versioned);
}

}  // extern "C"
