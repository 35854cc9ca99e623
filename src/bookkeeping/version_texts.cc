// Display texts ("VersionText") of the current and previous product levels.
// Results are the static buffer of TQPROD_GetValue.
#include <string.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kVersionText[] = "VersionText";
constexpr const char kSharedProduct[] = "tqshared";

// Product-relative key of the current version, with "SP<servicePack>" when
// servicePack is a non-zero number and, when withCurrentMsp, "MSP<msp>" for
// the product's current MSP.
const char *LevelText(const char *product, const char *servicePack, bool withCurrentMsp) {
  std::string key, msp;
  if (!VersionKeyPath(key, product)) return nullptr;
  if (IsNonZeroNumber(servicePack)) {
    if (strlen(servicePack) > kLevelMax) return nullptr;
    key += "\\SP";
    key += servicePack;
  }
  if (withCurrentMsp && CurrentMspOf(msp, product)) key += "\\MSP" + msp;
  return TQPROD_GetValue(key.c_str(), kVersionText, 0);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI const char *TQPROD_GetVerText(const char *product) {
  if (product == nullptr || *product == '\0' || strcmp(product, " ") == 0)
    product = kSharedProduct;
  return TQPROD_GetValue(product, kVersionText, 1);
}

TQAPI const char *TQPROD_GetSPVerText(const char *product, const char *servicePack) {
  return LevelText(product, servicePack, false);
}

TQAPI const char *TQPROD_GetMSPVerText(const char *product, const char *servicePack) {
  return LevelText(product, servicePack, true);
}

// The previous level comes from TQPROD_GetAllPrevData. Its buffers hold any
// level string (kLevelMax characters), not just the 9 of the family's
// historic 10-byte buffers.
TQAPI const char *TQPROD_GetPrevVerText(const char *product) {
  if (!IsProduct(product)) return nullptr;
  char version[kLevelMax + 1] = "";
  char sp[kLevelMax + 1] = "";
  char msp[kLevelMax + 1] = "";
  TQPROD_GetAllPrevData(product, version, sp, msp);
  if (version[0] == '\0') return nullptr;
  if (sp[0] == '\0') strcpy(sp, "0");
  if (msp[0] == '\0') strcpy(msp, "0");

  std::string key;
  if (!JoinKeyPath(key, {product, version})) return nullptr;
  if (IsNonZeroNumber(sp)) {
    key += "\\SP";
    key += sp;
    if (IsNonZeroNumber(msp)) {
      key += "\\MSP";
      key += msp;
    }
  }
  if (key.size() + sizeof kRoot >= kPathMax) return nullptr;
  return TQPROD_GetValue(key.c_str(), kVersionText, 0);
}

}  // extern "C"
