// Per-product state values of the current version key: plug-in activity,
// product activity, configuration and the shared-components express mode.
// One table row per value; the exported getters and setters are one-line
// entries over ReadState and WriteState.
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {
namespace {

enum class ReadAs {
  kNumber,  // the number itself (0 when missing)
  kFlag,    // 1 when the number is non-zero, else 0 (also when missing)
};

enum class WriteAs {
  kFlag,     // "1" for a non-zero argument, else "0"
  kDecimal,  // the argument as signed decimal text
  kOne,      // always "1"
};

struct StateValue {
  const char *product;  // fixed product, or null when the caller names it
  const char *value;
  ReadAs read;
  WriteAs write;
};

constexpr StateValue kPluginActive{nullptr, "PluginActive", ReadAs::kNumber, WriteAs::kFlag};
constexpr StateValue kProdActive{nullptr, "ProdActive", ReadAs::kFlag, WriteAs::kDecimal};
constexpr StateValue kConfigured{nullptr, "IsConfigured", ReadAs::kFlag, WriteAs::kOne};
constexpr StateValue kExpress{"tqshared", "Express", ReadAs::kFlag, WriteAs::kDecimal};

// base-10 strtol, saturated at the 32-bit limits as on a 32-bit long.
int ToInt(const char *text) {
  long n = strtol(text, nullptr, 10);
  if (n > INT32_MAX) return INT32_MAX;
  if (n < INT32_MIN) return INT32_MIN;
  return static_cast<int>(n);
}

int ReadState(const StateValue &s, const char *product) {
  if (s.product != nullptr) product = s.product;
  if (!IsProduct(product)) return 0;
  const char *text = TQPROD_GetValue(product, s.value, 1);
  if (text == nullptr) return 0;
  int n = ToInt(text);
  return s.read == ReadAs::kNumber ? n : (n != 0 ? 1 : 0);
}

int WriteState(const StateValue &s, const char *product, int value) {
  if (s.product != nullptr) product = s.product;
  if (!IsProduct(product)) return -1;
  char text[16];
  switch (s.write) {
    case WriteAs::kFlag: snprintf(text, sizeof text, "%s", value ? "1" : "0"); break;
    case WriteAs::kDecimal: snprintf(text, sizeof text, "%d", value); break;
    case WriteAs::kOne: snprintf(text, sizeof text, "1"); break;
  }
  return TQPROD_SetValue(product, s.value, TQREG_SZ, text, 1);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_IsPluginActive(const char *product) { return ReadState(kPluginActive, product); }
TQAPI int TQPROD_SetPluginActive(const char *product, int active) {
  return WriteState(kPluginActive, product, active);
}

TQAPI int TQPROD_IsProdActive(const char *product) { return ReadState(kProdActive, product); }
TQAPI int TQPROD_SetProdActive(const char *product, int value) {
  return WriteState(kProdActive, product, value);
}

TQAPI int TQPROD_IsConfigured(const char *product) { return ReadState(kConfigured, product); }
TQAPI int TQPROD_SetConfigured(const char *product) { return WriteState(kConfigured, product, 1); }

TQAPI int TQPROD_IsExpress(void) { return ReadState(kExpress, nullptr); }
TQAPI int TQPROD_SetExpress(int value) { return WriteState(kExpress, nullptr, value); }

}  // extern "C"
