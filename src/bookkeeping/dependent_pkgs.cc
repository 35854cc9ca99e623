// Dependent packages: one value per package in the "DependentPkgs" key of a
// product's service-pack (SP) or minor-service-pack (MSP) level, with
// setters, getters, cleaners and two walks.
#include <string.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kDependentPkgs[] = "DependentPkgs";

// <product>\<version>[\SP<sp> when sp is a non-zero number]\DependentPkgs
bool SpLevelKey(std::string &out, const char *product, const char *servicePack) {
  if (!IsNonZeroNumber(servicePack)) return VersionKeyPath(out, product, {kDependentPkgs});
  std::string sp = std::string("SP") + servicePack;
  return IsLevel(servicePack) && VersionKeyPath(out, product, {sp.c_str(), kDependentPkgs});
}

// <product>\<version>\SP<sp>\MSP<msp>\DependentPkgs; a null or empty sp
// means the product's current SP. False without a current version, without
// an SP or without an MSP.
bool MspLevelKey(std::string &out, const char *product, const char *servicePack,
                 const char *msp) {
  std::string sp;
  if (!IsLevel(msp)) return false;
  if (servicePack != nullptr && *servicePack != '\0') {
    if (!TakeLevel(sp, servicePack)) return false;
  } else if (!CurrentServicePackOf(sp, product)) {
    return false;
  }
  std::string spKey = "SP" + sp, mspKey = std::string("MSP") + msp;
  return VersionKeyPath(out, product, {spKey.c_str(), mspKey.c_str(), kDependentPkgs});
}

// Deletes one value of a DependentPkgs key: the service's result, or -1
// when the key cannot be opened.
int DeleteValueAt(const std::string &relative, const char *packageName) {
  std::string absolute;
  RegKey key;
  if (packageName == nullptr || !AbsolutePath(absolute, relative) ||
      !key.Open(Root(), absolute.c_str()))
    return -1;
  return TqkRegDeleteValue(key.get(), packageName);
}

// One step of a value-name walk over a DependentPkgs key (relative path).
template <size_t N>
int NextValueAt(WalkCursor<N> &c, const std::string &relative, char *name) {
  std::string absolute;
  RegKey key;
  if (!AbsolutePath(absolute, relative) ||
      OpenProductKey(absolute.c_str(), key, nullptr, 0) != 0)
    return -2;
  if (!EnumValueName(key.get(), c.index, name)) return -3;
  ++c.index;
  return 0;
}

WalkCursor<256> g_check_dependent;
WalkCursor<250> g_check_msp_dependent;

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_SetDependentValue(const char *product, const char *packageName,
                                   const char *value, const char *servicePack) {
  std::string key;
  if (!SpLevelKey(key, product, servicePack)) return -1;
  return TQPROD_SetValue(key.c_str(), packageName, TQREG_SZ, value, 0);
}

TQAPI int TQPROD_SetDependent(const char *product, const char *packageName,
                              const char *servicePack) {
  return TQPROD_SetDependentValue(product, packageName, "1", servicePack);
}

TQAPI const char *TQPROD_GetDependentValue(const char *product, const char *servicePack,
                                           const char *packageName) {
  std::string key;
  if (!SpLevelKey(key, product, servicePack)) return nullptr;
  return TQPROD_GetValue(key.c_str(), packageName, 0);
}

TQAPI int TQPROD_SetMSPDependentValue(const char *product, const char *packageName,
                                      const char *value, const char *servicePack,
                                      const char *msp) {
  std::string key;
  if (!MspLevelKey(key, product, servicePack, msp)) return -1;
  return TQPROD_SetValue(key.c_str(), packageName, TQREG_SZ, value, 0);
}

TQAPI const char *TQPROD_GetMSPDependentValue(const char *product, const char *servicePack,
                                              const char *msp, const char *packageName) {
  std::string key;
  if (!MspLevelKey(key, product, servicePack, msp)) return nullptr;
  return TQPROD_GetValue(key.c_str(), packageName, 0);
}

TQAPI int TQPROD_CleanDependent(const char *product, const char *packageName,
                                const char *servicePack) {
  std::string key;
  if (!SpLevelKey(key, product, servicePack)) return -1;
  return DeleteValueAt(key, packageName);
}

TQAPI int TQPROD_CleanMSPDependent(const char *product, const char *packageName,
                                   const char *servicePack, const char *msp) {
  std::string key;
  if (!MspLevelKey(key, product, servicePack, msp)) return -1;
  return DeleteValueAt(key, packageName);
}

TQAPI int TQPROD_CheckDependent(const char *product, const char *servicePack, char *name) {
  WalkCursor<256> &c = g_check_dependent;
  std::string key;
  if (!c.Restart(product) || name == nullptr || !SpLevelKey(key, c.product, servicePack))
    return -1;
  return NextValueAt(c, key, name);
}

TQAPI int TQPROD_CheckMSPDependent(const char *product, const char *servicePack,
                                   const char *msp, char *name) {
  WalkCursor<250> &c = g_check_msp_dependent;
  std::string key;
  if (!c.Restart(product) || name == nullptr ||
      !MspLevelKey(key, c.product, servicePack, msp))
    return -1;
  return NextValueAt(c, key, name);
}

}  // extern "C"
