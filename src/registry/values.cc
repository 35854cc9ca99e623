// Reading, writing and deleting single values; multi-values ("^^" lists).
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr size_t kDataMax = 4096;
constexpr size_t kNumberTextMax = 1024;
constexpr size_t kMultiValueMax = 1024;

// One typed read into caller buffers: the shared core of TQPROD_GetValue
// and TQPROD_GetValueWithRegType. Returns the text, or null.
const char *ReadAsText(const char *path, const char *valueName, int versioned,
                       char (&data)[kDataMax], char (&number)[kNumberTextMax],
                       unsigned *type, unsigned *size) {
  std::string keyPath;
  if (path == nullptr || valueName == nullptr || !JoinKeyPath(keyPath, {kRoot, path}))
    return nullptr;
  memset(data, 0, sizeof data);
  *size = sizeof data;
  if (TQPROD_GetDataFromRegistry(keyPath.c_str(), valueName, type, data, size, versioned) != 0)
    return nullptr;
  if (*type == TQREG_DWORD) {
    int32_t n;
    memcpy(&n, data, sizeof n);
    snprintf(number, sizeof number, "%d", n);
    return number;
  }
  // Stored text need not carry its terminator; never hand out unterminated
  // data.
  data[*size < sizeof data ? *size : sizeof data - 1] = '\0';
  return data;
}

// Base-10 strtol rules as on a 32-bit long: out-of-range text saturates at
// the 32-bit limits on every platform.
uint32_t ParseNumber(const char *text) {
  long n = strtol(text, nullptr, 10);
  if (n > INT32_MAX) n = INT32_MAX;
  if (n < INT32_MIN) n = INT32_MIN;
  return static_cast<uint32_t>(static_cast<int32_t>(n));
}

int WriteOnce(const char *keyPath, const char *valueName, int type, const char *data,
              int versioned) {
  if (type == static_cast<int>(TQREG_DWORD))
    return SetDwordValue(keyPath, valueName, ParseNumber(data), versioned);
  return SetTypedValue(keyPath, valueName, static_cast<unsigned>(type), data,
                       static_cast<unsigned>(strlen(data) + 1), versioned);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_GetDataFromRegistry(const char *keyPath, const char *valueName,
                                     unsigned *type, void *data, unsigned *size,
                                     int versioned) {
  if (valueName == nullptr || size == nullptr) return -1;
  RegKey key;
  if (OpenProductKey(keyPath, key, nullptr, versioned) != 0) return -1;
  unsigned scratch = 0;
  return TqkRegQueryValueEx(key.get(), valueName, nullptr, type ? type : &scratch, data, size) == 0
             ? 0
             : -1;
}

TQAPI const char *TQPROD_GetValue(const char *path, const char *valueName, int versioned) {
  static char data[kDataMax];
  static char number[kNumberTextMax];
  unsigned type = 0, size = 0;
  return ReadAsText(path, valueName, versioned, data, number, &type, &size);
}

TQAPI const char *TQPROD_GetValueWithRegType(const char *path, const char *valueName,
                                             int versioned, unsigned *type, unsigned *size) {
  static char data[kDataMax];
  static char number[kNumberTextMax];
  unsigned t = 0, s = 0;
  const char *text = ReadAsText(path, valueName, versioned, data, number, &t, &s);
  if (text == nullptr) return nullptr;
  if (type != nullptr) *type = (t == TQREG_DWORD || t == TQREG_MULTI_SZ) ? t : TQREG_SZ;
  if (size != nullptr) *size = s;
  return text;
}

TQAPI int TQPROD_GetMultiValue(const char *path, const char *valueName, int *count,
                               char **items, int maxTotal, int versioned) {
  if (count == nullptr || items == nullptr) return -1;
  // The items are split in place in TQPROD_GetValue's data buffer.
  char *text = const_cast<char *>(TQPROD_GetValue(path, valueName, versioned));
  if (text == nullptr) return -1;
  int n = 0;
  long total = 0;
  for (char *p = text; *p != '\0';) {
    while (*p == '^') ++p;
    if (*p == '\0') break;
    char *end = p;
    while (*end != '\0' && *end != '^') ++end;
    size_t len = static_cast<size_t>(end - p);
    total += static_cast<long>(len);
    if (total > maxTotal) {
      *count = n;
      return -2;
    }
    if (items[n] == nullptr) {
      *count = n;
      return -1;
    }
    memcpy(items[n], p, len);
    items[n][len] = '\0';
    ++n;
    p = end;
  }
  *count = n;
  return 0;
}

TQAPI int TQPROD_GetResMultiValue(const char *product, const char *subkey,
                                  const char *valueName, int *count, char **items,
                                  int maxTotal, int versioned) {
  std::string path;
  if (!RelativeReservedPath(path, product, subkey, versioned)) return -1;
  return TQPROD_GetMultiValue(path.c_str(), valueName, count, items, maxTotal, 0);
}

TQAPI int TQPROD_SetValue(const char *path, const char *valueName, int type,
                          const char *data, int versioned) {
  std::string keyPath;
  if (path == nullptr || valueName == nullptr || data == nullptr ||
      !JoinKeyPath(keyPath, {kRoot, path}))
    return -1;
  if (WriteOnce(keyPath.c_str(), valueName, type, data, versioned) != -1) return 0;
  // The key cannot be opened: create it and write once more.
  TQHKEY h = 0;
  if (TqkRegCreateKey(Root(), keyPath.c_str(), &h) != 0) return -1;
  TqkRegCloseKey(h);
  return WriteOnce(keyPath.c_str(), valueName, type, data, versioned);
}

TQAPI int TQPROD_SetMultiValue(const char *path, const char *valueName, int count,
                               const char **items, int versioned) {
  char text[kMultiValueMax] = {0};
  size_t used = 0;
  for (int i = 0; i < count; ++i) {
    if (items == nullptr || items[i] == nullptr) return -1;
    size_t len = strlen(items[i]);
    if (used + len + 2 >= sizeof text) return -1;  // must fit 1023 characters
    memcpy(text + used, items[i], len);
    memcpy(text + used + len, "^^", 2);
    used += len + 2;
  }
  return TQPROD_SetValue(path, valueName, TQREG_SZ, text, versioned);
}

TQAPI int TQPROD_SetResMultiValue(const char *product, const char *subkey,
                                  const char *valueName, int count,
                                  const char **items, int versioned) {
  std::string path;
  if (!RelativeReservedPath(path, product, subkey, versioned)) return -1;
  return TQPROD_SetMultiValue(path.c_str(), valueName, count, items, 0);
}

TQAPI int FwSetParam(const char *valueName, unsigned value) {
  const char *mrk = TQPROD_GetRegMrkPath();
  if (mrk == nullptr || valueName == nullptr) return -1;
  return SetDwordValue(mrk, valueName, value, 1);
}

TQAPI int TQPROD_DelValue(const char *path, const char *valueName, int versioned) {
  if (path == nullptr || valueName == nullptr) return -1;
  std::string keyPath;
  if (versioned) {
    const char *cv = CurrentVersion(path);
    if (cv == nullptr) return -2;
    if (!JoinKeyPath(keyPath, {kRoot, path, cv})) return -1;
  } else if (!JoinKeyPath(keyPath, {kRoot, path})) {
    return -1;
  }
  RegKey key;
  if (!key.Open(Root(), keyPath.c_str())) return -1;
  return TqkRegDeleteValue(key.get(), valueName);
}

// An empty path would name the product-family root itself: refused, so that
// a caller's empty string never deletes every product.
TQAPI int TQPROD_DelKey(const char *path) {
  std::string keyPath;
  if (path == nullptr || *path == '\0' || !JoinKeyPath(keyPath, {kRoot, path})) return -1;
  return TqkRegDeleteKey(Root(), keyPath.c_str());
}

TQAPI int TQPROD_DelKeyFromRes(const char *product, const char *subkey, int versioned) {
  if (product == nullptr || *product == '\0') return -1;
  if (versioned && CurrentVersion(product) == nullptr) return -2;
  std::string path, keyPath;
  if (!RelativeReservedPath(path, product, subkey, versioned) ||
      !JoinKeyPath(keyPath, {kRoot, path.c_str()}))
    return -1;
  return TqkRegDeleteKey(Root(), keyPath.c_str());
}

}  // extern "C"
