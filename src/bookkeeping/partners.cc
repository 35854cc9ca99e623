// Partner products: ALTEX\<partner>\<product> with its version, information
// and directory values, and the delete that prunes emptied parent keys.
#include <utility>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kPartners[] = "ALTEX";

// Writes the values in order, stopping at the first failure: 0, or -(n+1)
// for a failure of the n-th write (counting from 0). Empty partner or
// product names are refused like a failed first write, so that no call can
// reach the partner key (or "ALTEX") itself.
int WritePartnerValues(const char *partner, const char *product,
                       std::initializer_list<std::pair<const char *, const char *>> values) {
  std::string key;
  if (!IsProduct(partner) || !IsProduct(product) ||
      !JoinKeyPath(key, {kPartners, partner, product}))
    return -1;
  int n = 0;
  for (const auto &v : values) {
    ++n;
    if (TQPROD_SetValue(key.c_str(), v.first, TQREG_SZ, v.second, 0) != 0) return -n;
  }
  return 0;
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_SetALTEXProd(const char *partner, const char *product,
                              const char *majorVersion, const char *minorVersion,
                              const char *info) {
  return WritePartnerValues(partner, product,
                            {{"MajorVersion", majorVersion},
                             {"MinorVersion", minorVersion},
                             {"INFO", info}});
}

TQAPI int TQPROD_SetALTEXProdDir(const char *partner, const char *product,
                                 const char *majorVersion, const char *minorVersion,
                                 const char *info, const char *productDir) {
  return WritePartnerValues(partner, product,
                            {{"MajorVersion", majorVersion},
                             {"MinorVersion", minorVersion},
                             {"INFO", info},
                             {"PRODDIR", productDir}});
}

TQAPI int TQPROD_DelALTEXProd(const char *partner, const char *product) {
  std::string partnerKey, productKey;
  if (!IsProduct(partner) || !IsProduct(product) ||
      !JoinKeyPath(partnerKey, {kPartners, partner}) ||
      !JoinKeyPath(productKey, {partnerKey.c_str(), product}))
    return -1;
  if (TQPROD_DelKey(productKey.c_str()) != 0) return -1;

  char name[200];
  if (TQPROD_GetEnumKey(partnerKey.c_str(), name, 0) == -3 &&
      TQPROD_DelKey(partnerKey.c_str()) != 0)
    return -2;
  if (TQPROD_GetEnumKey(kPartners, name, 0) != -3) return 0;
  return TQPROD_DelKey(kPartners) == 0 ? 0 : -3;
}

}  // extern "C"
