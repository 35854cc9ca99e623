// Installed products: the installed-products enumeration, the installed
// marks, the ordered product list (and its copy between keys), the
// endpoint policy product's queries and the product check.
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kInstalledKey[] = "SOFTWARE\\Tarquel\\products";
constexpr const char kMarksKey[] = "SOFTWARE\\Tarquel\\Products";
constexpr const char kProductListValue[] = "Products";
constexpr const char kNexo[] = "TQnexo";

constexpr unsigned kEnumNameMax = 500;
constexpr unsigned kMarkBufferSize = 40;
constexpr size_t kListBufferSize = 8192;
// The add operations compose in a 2048-byte area; the product list keeps
// ten bytes of it in reserve.
constexpr size_t kComposeArea = 2048;
constexpr size_t kProductListBudget = 2038;

// ---- Installed marks -----------------------------------------------------

int IsMarkedInstalled(const char *mark) {
  unsigned char data[kMarkBufferSize] = {0};
  unsigned size = sizeof data, type = 0;
  if (TQPROD_GetDataFromRegistry(kMarksKey, mark, &type, data, &size, 0) != 0) return 0;
  if (size == 0) return 0;
  if (type == TQREG_SZ) {
    // Exactly "0", with or without its stored terminator.
    bool zero = data[0] == '0' && (size == 1 || data[1] == '\0');
    return zero ? 0 : 1;
  }
  if (type == TQREG_DWORD) {
    uint32_t n = 0;  // a short number reads with zero upper bytes
    memcpy(&n, data, sizeof n);
    return n != 0 ? 1 : 0;
  }
  return 0;
}

int MarkInstalled(const char *mark) {
  char text[16];
  snprintf(text, sizeof text, "%d", 1);
  SetTypedValue(kMarksKey, mark, TQREG_SZ, text, static_cast<unsigned>(strlen(text) + 1), 0);
  return IsMarkedInstalled(mark) == 1 ? 0 : -1;
}

// ---- Multi-string lists --------------------------------------------------

// Splits a multi-string read into buf (whose two bytes after size are zero)
// into list pointers. -1 when more names remain than the capacity.
int SplitNames(char *buf, unsigned size, char **list, int *count) {
  int capacity = *count;
  *count = 0;
  char *end = buf + size;
  for (char *p = buf; p < end && *p != '\0'; p += strlen(p) + 1) {
    if (list == nullptr || *count >= capacity) return -1;
    list[(*count)++] = p;
  }
  return 0;
}

// Reads a multi-string into one of the static list buffers.
int ReadListInto(char (&buf)[kListBufferSize + 2], const char *keyPath, const char *valueName,
                 char **list, int *count, bool *readFailed) {
  *readFailed = false;
  if (count == nullptr) return -1;
  int capacity = *count;
  *count = 0;
  memset(buf, 0, sizeof buf);
  unsigned type = 0, size = kListBufferSize;
  if (keyPath == nullptr || valueName == nullptr ||
      TQPROD_GetDataFromRegistry(keyPath, valueName, &type, buf, &size, 0) != 0) {
    *readFailed = true;
    return -1;
  }
  if (type != TQREG_MULTI_SZ) return -1;
  *count = capacity;
  return SplitNames(buf, size < kListBufferSize ? size : kListBufferSize, list, count);
}

enum class ListRead { kOk, kReadFailed, kWrongType, kError };

// Reads every name of a multi-string value, whatever its length, for the
// add operations: they must never write back a list with names missing.
// Only an absent key or value counts as a failed read; any other failure
// of the service is an error, so that nothing gets overwritten on it.
ListRead ReadAllNames(const char *keyPath, const char *valueName,
                      std::vector<std::string> &names) {
  names.clear();
  RegKey key;
  if (!key.Open(Root(), keyPath)) return ListRead::kReadFailed;
  unsigned type = 0, size = 0;
  int rc = TqkRegQueryValueEx(key.get(), valueName, nullptr, &type, nullptr, &size);
  if (rc == TQREG_E_NOTFOUND) return ListRead::kReadFailed;
  if (rc != 0) return ListRead::kError;
  if (type != TQREG_MULTI_SZ) return ListRead::kWrongType;
  std::vector<char> buf(static_cast<size_t>(size) + 2, '\0');
  unsigned got = size;
  if (TqkRegQueryValueEx(key.get(), valueName, nullptr, &type, buf.data(), &got) != 0 ||
      type != TQREG_MULTI_SZ || got > size)
    return ListRead::kError;  // changed under us: leave it alone
  for (const char *p = buf.data(); p < buf.data() + got && *p != '\0'; p += strlen(p) + 1)
    names.emplace_back(p);
  return ListRead::kOk;
}

// Appends text and its zero byte to area if it fits within budget.
bool AppendName(std::vector<char> &area, size_t budget, const std::string &name) {
  if (name.size() + 1 > budget - area.size()) return false;
  area.insert(area.end(), name.begin(), name.end());
  area.push_back('\0');
  return true;
}

int LeadingNumber(const char *text) {
  if (text == nullptr) return 0;
  errno = 0;
  long n = strtol(text, nullptr, 10);
  if (n > INT_MAX) return INT_MAX;
  if (n < INT_MIN) return INT_MIN;
  return static_cast<int>(n);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_GetInstalledProducts(int restart, char *name) {
  static uint32_t cursor = 0;
  if (restart) cursor = 0;
  RegKey key;
  if (!key.Open(Root(), kInstalledKey)) return -2;
  char found[kEnumNameMax];
  unsigned nameSize = sizeof found, type = 0;
  // The value's data is not wanted: a value of any size must not end the
  // enumeration.
  if (TqkRegEnumValue(key.get(), cursor, found, &nameSize, nullptr, &type, nullptr, nullptr) != 0)
    return -3;
  found[sizeof found - 1] = '\0';
  if (name != nullptr) memcpy(name, found, strlen(found) + 1);
  ++cursor;
  return 0;
}

#define TQ_DEFINE_MARK_(check, set, mark) \
  TQAPI int check(void) { return IsMarkedInstalled(mark); } \
  TQAPI int set(void) { return MarkInstalled(mark); }
TQPROD_INSTALLED_MARK_TABLE(TQ_DEFINE_MARK_)
#undef TQ_DEFINE_MARK_

TQAPI int NexoIsInstalled(void) { return IsMarkedInstalled(kNexo); }

TQAPI int TQKGetProductList(char **list, int *count) {
  static char buf[kListBufferSize + 2];
  bool failed;
  return ReadListInto(buf, kRoot, kProductListValue, list, count, &failed);
}

TQAPI int TQKGetProductListForCopyKey(char **list, int *count, const char *subkey,
                                      const char *valueName) {
  static char buf[kListBufferSize + 2];
  std::string keyPath;
  bool ok = subkey != nullptr && JoinKeyPath(keyPath, {kRoot, subkey});
  bool failed;
  int r = ReadListInto(buf, ok ? keyPath.c_str() : nullptr, valueName, list, count, &failed);
  if (failed) {
    printf("path=%s\n", subkey ? subkey : "(null)");
    printf("Value=%s\n", valueName ? valueName : "(null)");
  }
  return r;
}

// The stored list is read whole (any number of names), so no name already
// stored is ever dropped: a list that does not fit the budget with the new
// name is refused with -1 and left as it was.
TQAPI int TQKAddProductList(const char *name) {
  if (name == nullptr || *name == '\0') return -1;
  std::vector<std::string> old;
  if (ReadAllNames(kRoot, kProductListValue, old) == ListRead::kError) return -1;
  std::vector<char> area;
  area.reserve(kComposeArea);
  const std::string head(name);
  if (!AppendName(area, kProductListBudget, head)) return -1;
  for (const std::string &n : old)
    if (n != head && !AppendName(area, kProductListBudget, n)) return -1;
  if (area.size() >= kProductListBudget) return -1;  // no room for the final zero
  area.push_back('\0');
  return SetTypedValue(kRoot, kProductListValue, TQREG_MULTI_SZ, area.data(),
                       static_cast<unsigned>(area.size()), 0);
}

// Lists of any number of names are copied whole; a list that does not fit
// the 2048-byte area is refused with -1 before anything is created or
// written.
TQAPI int TQKAddProductListForCopyKey(const char *srcSubkey, const char *dstSubkey,
                                      const char *valueName) {
  std::string src, dst;
  if (srcSubkey == nullptr || dstSubkey == nullptr || valueName == nullptr ||
      !JoinKeyPath(src, {kRoot, srcSubkey}) || !JoinKeyPath(dst, {kRoot, dstSubkey}))
    return -1;
  std::vector<std::string> names;
  ListRead r = ReadAllNames(src.c_str(), valueName, names);
  if (r == ListRead::kError) return -1;
  if (r == ListRead::kReadFailed) {
    printf("path=%s\n", srcSubkey);
    printf("Value=%s\n", valueName);
  }
  std::vector<char> area;
  for (const std::string &n : names)
    if (!AppendName(area, kComposeArea - 1, n)) return -1;  // keep the final zero's byte
  if (!names.empty()) area.push_back('\0');

  TQHKEY h = 0;
  if (TqkRegCreateKey(Root(), dst.c_str(), &h) == 0) TqkRegCloseKey(h);
  static const char kEmpty[1] = {0};
  return SetTypedValue(dst.c_str(), valueName, TQREG_MULTI_SZ,
                       area.empty() ? kEmpty : area.data(),
                       static_cast<unsigned>(area.size()), 0);
}

TQAPI int NexoGetInstallationType(void) {
  return LeadingNumber(TQPROD_GetValue(kNexo, "Endpoint Security Server", 1));
}

TQAPI int NexoIsRhs(void) { return (NexoGetInstallationType() & 4) ? 1 : 0; }
TQAPI int NexoIsEps(void) { return (NexoGetInstallationType() & 2) ? 1 : 0; }
TQAPI int NexoIsPolicyServer(void) { return NexoGetInstallationType() == 1 ? 1 : 0; }

TQAPI int IsSymmetricDSConfigured(void) {
  const char *text = TQPROD_GetValue(kNexo, "SymmetricDSConfigured", 1);
  return (text != nullptr && strtol(text, nullptr, 10) == 1) ? 1 : 0;
}

TQAPI int TQPROD_CheckProduct(const char *product) {
  if (product == nullptr || TQPROD_GetCurrentVersion(product) == nullptr) return -1;
  if (TQPROD_IsConfigured(product) == 0) return -2;
  if (TQPROD_IsProdActive(product) == 0) return -3;
  return 0;
}

}  // extern "C"
