// Current and previous product levels: version, service pack (SP) and minor
// service pack (MSP), the path of the current level and the whole previous
// level. Level values are read through the service's one-call reader with a
// type check, so a number stored under a level's name is no level.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {

bool CurrentVersionOf(std::string &out, const char *product) {
  return IsProduct(product) && TakeLevel(out, CurrentVersion(product));
}

bool CurrentServicePackOf(std::string &out, const char *product) {
  return TakeLevel(out, TQPROD_GetCurrentServicePack(product));
}

bool CurrentMspOf(std::string &out, const char *product) {
  return TakeLevel(out, TQPROD_GetCurrentMSP(product));
}

bool VersionKeyPath(std::string &out, const char *product,
                    std::initializer_list<const char *> more) {
  std::string version;
  if (!CurrentVersionOf(version, product)) return false;
  std::string path;
  if (!JoinKeyPath(path, {product, version.c_str()})) return false;
  for (const char *part : more) {
    if (part == nullptr) return false;
    path += '\\';
    path += part;
  }
  out = path;
  return out.size() + sizeof kRoot < kPathMax;
}

bool AbsolutePath(std::string &out, const std::string &relative) {
  return JoinKeyPath(out, {kRoot, relative.c_str()});
}

namespace {

// Absolute key of the current version, then "SP<sp>" when the product has a
// current SP, then "MSP<msp>" when withMsp and it has a current MSP there.
bool CurrentLevelKey(std::string &out, const char *product, bool withSp, bool withMsp) {
  std::string rel;
  if (!VersionKeyPath(rel, product)) return false;
  std::string sp, msp;
  if (withSp && CurrentServicePackOf(sp, product)) {
    rel += "\\SP" + sp;
    if (withMsp && CurrentMspOf(msp, product)) rel += "\\MSP" + msp;
  }
  return AbsolutePath(out, rel);
}

const char *ReadLevelValue(const char *product, bool withSp, bool withMsp,
                           const char *valueName) {
  std::string key;
  if (!CurrentLevelKey(key, product, withSp, withMsp)) return nullptr;
  return ReadServiceString(key.c_str(), valueName, 0);
}

// Copies a present level into a caller buffer of kLevelMax + 1 bytes.
void CopyLevel(char *out, const char *level) {
  if (out != nullptr && IsLevel(level)) memcpy(out, level, strlen(level) + 1);
}

char *CopyPath(const std::string &path) { return strdup(path.c_str()); }

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI const char *TQPROD_GetCurrentServicePack(const char *product) {
  return ReadLevelValue(product, false, false, "CurrentSP");
}

// The service resolves the version itself: "PrevVersion" below the product
// key's current version.
TQAPI const char *TQPROD_GetPreviousVersion(const char *product) {
  std::string version, key;
  if (!CurrentVersionOf(version, product) || !JoinKeyPath(key, {kRoot, product})) return nullptr;
  return ReadServiceString(key.c_str(), "PrevVersion", 1);
}

TQAPI const char *TQPROD_GetPrevServicePack(const char *product) {
  return ReadLevelValue(product, true, false, "PrevSP");
}

TQAPI const char *TQPROD_GetCurrentMSP(const char *product) {
  return ReadLevelValue(product, true, false, "CurrentMSP");
}

TQAPI const char *TQPROD_GetPrevMSP(const char *product) {
  return ReadLevelValue(product, true, true, "PrevMSP");
}

TQAPI int TQPROD_SetCurrentMSP(const char *product, const char *msp) {
  std::string rel, sp;
  if (!VersionKeyPath(rel, product)) return -1;
  if (CurrentServicePackOf(sp, product)) rel += "\\SP" + sp;
  return TQPROD_SetValue(rel.c_str(), "CurrentMSP", TQREG_SZ, msp, 0);
}

TQAPI int TQPROD_IsTQShared(void) {
  return TQPROD_GetCurrentVersion("TQshared") != nullptr ? 1 : 0;
}

TQAPI char *TQPROD_GetPath(const char *product, const char *selector) {
  if (selector == nullptr) selector = "msp";
  std::string path, sp, msp;
  if (!VersionKeyPath(path, product)) return nullptr;
  if (strcmp(selector, "ver") == 0) return CopyPath(path);
  if (!CurrentServicePackOf(sp, product)) return nullptr;
  path += "\\SP" + sp;
  if (strcmp(selector, "sp") == 0) return CopyPath(path);
  if (!CurrentMspOf(msp, product)) return nullptr;
  path += "\\MSP" + msp;
  return CopyPath(path);
}

// The previous level: the current version and SP with the previous MSP when
// there is one; else the previous (or current) SP with the MSP recorded
// under it; else the previous version with the current SP and MSP.
TQAPI int TQPROD_GetAllPrevData(const char *product, char *version, char *servicePack,
                                char *msp) {
  if (!IsProduct(product) || version == nullptr || servicePack == nullptr || msp == nullptr)
    return 0;
  CopyLevel(version, TQPROD_GetCurrentVersion(product));
  CopyLevel(servicePack, TQPROD_GetCurrentServicePack(product));
  CopyLevel(msp, TQPROD_GetPrevMSP(product));
  if (msp[0] != '\0') return 0;

  CopyLevel(servicePack, TQPROD_GetPrevServicePack(product));
  if (servicePack[0] != '\0') {
    char path[kPathMax];
    int n = snprintf(path, sizeof path, "%s\\%s\\SP%s", product, version, servicePack);
    if (n > 0 && static_cast<size_t>(n) < sizeof path)
      CopyLevel(msp, TQPROD_GetValue(path, "CurrentMSP", 0));
    return 0;
  }

  CopyLevel(version, TQPROD_GetPreviousVersion(product));
  CopyLevel(servicePack, TQPROD_GetCurrentServicePack(product));
  CopyLevel(msp, TQPROD_GetCurrentMSP(product));
  return 0;
}

}  // extern "C"
