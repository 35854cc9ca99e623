// Product directories, the firewall's named settings and the auto-start
// values. The fixed settings are one table; each row produces its exported
// getter (and setter) through the two macros below.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {
namespace {

// Capacity of the short form of a product directory.
constexpr int kShortPathMax = 250;

// Fixed settings read and written with the versioned flag: getter, setter
// (or none), product-relative key, value.
#define TQ_FIXED_SETTINGS(GET, GETSET)                                      \
  GET(TQPROD_GetQldir, "QLN", "PRODDIR")                                    \
  GET(TQPROD_GetTqmDir, "MRK", "TQMDIR")                                    \
  GETSET(TQPROD_GetCrldpName, TQPROD_SetCrldpName, "MRK", "crldp_name")     \
  GETSET(TQPROD_GetFipsPath, TQPROD_SetFipsPath, "MRK", "FIPS_PATH")

// Auto-start values: numbers kept as decimal text, -1 when missing.
#define TQ_AUTOSTART_SETTINGS(X)                                            \
  X(TQPROD_GetMRKAutoStart, TQPROD_SetMRKAutoStart, "MRK")                  \
  X(TQPROD_GetRTAutoStart, TQPROD_SetRTAutoStart, "Reporting Module")

int ReadAutoStart(const char *product) {
  const char *text = TQPROD_GetValue(product, "AutoStart", 1);
  if (text == nullptr) return -1;
  long n = strtol(text, nullptr, 10);
  return n > INT32_MAX ? INT32_MAX : n < INT32_MIN ? INT32_MIN : static_cast<int>(n);
}

int WriteAutoStart(const char *product, int value) {
  char text[16];
  snprintf(text, sizeof text, "%d", value);
  return TQPROD_SetValue(product, "AutoStart", TQREG_SZ, text, 1);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

#define TQ_DEFINE_GET(getter, product, value) \
  TQAPI const char *getter(void) { return TQPROD_GetValue(product, value, 1); }
#define TQ_DEFINE_GETSET(getter, setter, product, value)          \
  TQ_DEFINE_GET(getter, product, value)                           \
  TQAPI int setter(const char *text) {                            \
    return TQPROD_SetValue(product, value, TQREG_SZ, text, 1);    \
  }
TQ_FIXED_SETTINGS(TQ_DEFINE_GET, TQ_DEFINE_GETSET)
#undef TQ_DEFINE_GETSET
#undef TQ_DEFINE_GET

#define TQ_DEFINE_AUTOSTART(getter, setter, product)            \
  TQAPI int getter(void) { return ReadAutoStart(product); }     \
  TQAPI int setter(int value) { return WriteAutoStart(product, value); }
TQ_AUTOSTART_SETTINGS(TQ_DEFINE_AUTOSTART)
#undef TQ_DEFINE_AUTOSTART

TQAPI const char *TQPROD_GetProdDir(const char *product) {
  if (!IsProduct(product)) return nullptr;
  return TQPROD_GetValue(product, "PRODDIR", 1);
}

// Read without the versioned flag from tqshared\<version>: no current
// version, no directory.
TQAPI const char *TQPROD_GetTqdir(void) {
  std::string key;
  if (!VersionKeyPath(key, "tqshared")) return nullptr;
  return TQPROD_GetValue(key.c_str(), "TQDIR", 0);
}

TQAPI char *TQPROD_GetShortProdDir(const char *product) {
  const char *dir = TQPROD_GetProdDir(product);
  if (dir == nullptr) return nullptr;
  char shortForm[kShortPathMax] = "";
  int n = tqGetShortPathName(dir, shortForm, kShortPathMax);
  // A length that does not fit the buffer cannot describe a filled-in
  // short form.
  if (n <= 0 || n >= kShortPathMax) return nullptr;
  shortForm[kShortPathMax - 1] = '\0';
  return strdup(shortForm);
}

}  // extern "C"
