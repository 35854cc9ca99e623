// Product flags: the table-driven getters and setters, the cached Zandor
// flags, the values returned as read and the platform-backed flags.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {
namespace {

enum class FlagKey { Mrk, Reporting, Lumbra, TQShared };

constexpr const char kReportingPath[] = "SOFTWARE\\Tarquel\\Reporting Module";
constexpr const char kLumbraPath[] = "SOFTWARE\\Tarquel\\LUMBRA";
constexpr const char kServicesPath[] = "SYSTEM\\CurrentControlSet\\Services\\MRK\\Parameters";

// Key path of a table row; the firewall key is the cached path (may be null
// when it cannot be allocated).
const char *FlagKeyPath(FlagKey key) {
  switch (key) {
    case FlagKey::Mrk: return TQPROD_GetRegMrkPath();
    case FlagKey::Reporting: return kReportingPath;
    case FlagKey::Lumbra: return kLumbraPath;
    case FlagKey::TQShared: return kTQSharedPath;  // literal, not the cached path
  }
  return nullptr;
}

// Any non-zero answer of the one-call reader is "on": a number, or a
// pointer to text (so a string "0" reads as on).
int ReadFlag(FlagKey key, const char *valueName, int versioned) {
  const char *path = FlagKeyPath(key);
  if (path == nullptr) return 0;
  return TQPRODIS_GetVarFromRegistry(path, valueName, versioned) != 0 ? 1 : 0;
}

int WriteFlag(FlagKey key, const char *valueName, uint32_t value, int versioned) {
  const char *path = FlagKeyPath(key);
  if (path == nullptr) return -1;
  return SetDwordValue(path, valueName, value, versioned);
}

// Cached flags: slot -1 means not read yet; afterwards 0 or 1.
int ReadCachedFlag(int32_t &slot, FlagKey key, const char *valueName, int versioned) {
  if (slot != -1) return slot;
  slot = ReadFlag(key, valueName, versioned);
  return slot;
}

int WriteCachedFlag(int32_t &slot, FlagKey key, const char *valueName, uint32_t value,
                    int versioned) {
  int r = WriteFlag(key, valueName, value, versioned);
  if (r == 0) slot = value != 0 ? 1 : 0;  // a failed set keeps the cache
  return r;
}

#define TQ_CACHE_SLOT_(getter, setter, key, name, versioned) int32_t g_cache_##getter = -1;
TQPROD_CACHED_FLAG_TABLE(TQ_CACHE_SLOT_)
#undef TQ_CACHE_SLOT_

constexpr const char kNoTrivaMessage[] =
    "FwSetTRIVA: Cannot set value in registery, current OS does not support TRIVA.";

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

#define TQ_DEFINE_FLAG_(getter, setter, key, name, versioned)              \
  TQAPI int getter(void) { return ReadFlag(FlagKey::key, name, versioned); } \
  TQAPI int setter(unsigned value) { return WriteFlag(FlagKey::key, name, value, versioned); }
TQPROD_FLAG_TABLE(TQ_DEFINE_FLAG_)
#undef TQ_DEFINE_FLAG_

#define TQ_DEFINE_FLAG_GETTER_(getter, setter, key, name, versioned) \
  TQAPI int getter(void) { return ReadFlag(FlagKey::key, name, versioned); }
TQPROD_CONTEXT_FLAG_TABLE(TQ_DEFINE_FLAG_GETTER_)
#undef TQ_DEFINE_FLAG_GETTER_

#define TQ_DEFINE_CACHED_FLAG_(getter, setter, key, name, versioned)          \
  TQAPI int getter(void) {                                                    \
    return ReadCachedFlag(g_cache_##getter, FlagKey::key, name, versioned);   \
  }                                                                           \
  TQAPI int setter(unsigned value) {                                          \
    return WriteCachedFlag(g_cache_##getter, FlagKey::key, name, value, versioned); \
  }
TQPROD_CACHED_FLAG_TABLE(TQ_DEFINE_CACHED_FLAG_)
#undef TQ_DEFINE_CACHED_FLAG_

#define TQ_DEFINE_GETTER_ALIAS_(alias, target) \
  TQAPI int alias(void) { return target(); }
#define TQ_DEFINE_SETTER_ALIAS_(alias, target) \
  TQAPI int alias(unsigned value) { return target(value); }
TQPROD_FLAG_GETTER_ALIASES(TQ_DEFINE_GETTER_ALIAS_)
TQPROD_FLAG_SETTER_ALIASES(TQ_DEFINE_SETTER_ALIAS_)
#undef TQ_DEFINE_GETTER_ALIAS_
#undef TQ_DEFINE_SETTER_ALIAS_

// ---- Values returned as read -------------------------------------------

TQAPI TQREGVAR FwGetIPForwarding(void) {
  return TQPRODIS_GetVarFromRegistry(kServicesPath, "IPForwarding", 0);
}

TQAPI int FwSetIPForwarding(unsigned value) {
  return SetDwordValue(kServicesPath, "IPForwarding", value, 0);
}

TQAPI const char *GetPelloraCurrentVersion(void) {
  return ReadServiceString(kPelloraPath, "CurrentVersion", 0);
}

TQAPI int SetPelloraCurrentVersion(const char *version) {
  if (version == nullptr) return -1;
  return SetTypedValue(kPelloraPath, "CurrentVersion", TQREG_SZ, version,
                       static_cast<unsigned>(strlen(version) + 1), 0);
}

TQAPI const char *GetPelloraLanguageDLL(void) {
  return ReadServiceString(kPelloraPath, "LanguageDLL", 1);
}

TQAPI int SetPelloraLanguageDLL(const char *name) {
  const char *text = name ? name : "";
  return SetTypedValue(kPelloraPath, "LanguageDLL", TQREG_SZ, text,
                       static_cast<unsigned>(strlen(text) + 1), 1);
}

TQAPI const char *GetPelloradirFromRegistry(void) {
  return ReadServiceString(kPelloraPath, "FWDIR", 1);
}

TQAPI TQREGVAR FwGetTrivaMacId(void) {
  const char *mrk = TQPROD_GetRegMrkPath();
  return mrk ? TQPRODIS_GetVarFromRegistry(mrk, "TRIVA_MAC_ID", 1) : 0;
}

TQAPI int FwSetTrivaMacId(unsigned value) {
  const char *mrk = TQPROD_GetRegMrkPath();
  if (mrk == nullptr) return -1;
  return TQPRODIS_SetVarToRegistry(mrk, "TRIVA_MAC_ID", value, 1);
}

TQAPI const char *GetFwlogdirFromRegistry(void) {
  const char *mrk = TQPROD_GetRegMrkPath();
  return mrk ? ReadServiceString(mrk, "FWLOGDIR", 1) : nullptr;
}

// ---- Platform-backed flags ---------------------------------------------

TQAPI int FwIsUsermode(void) { return tq_is_usermode(); }
TQAPI int FwSetUsermode(unsigned value) { return FwSetParam("Usermode", value); }
TQAPI int FwIsTRIVA(void) { return tq_is_triva(); }

TQAPI int FwSetTRIVA(unsigned value) {
  if (IsVerdra() != 0 || TQPROD_IsCrossBeamPlatform() != 0) return FwSetParam("TRIVA", value);
  int n = fprintf(stderr, "%s", kNoTrivaMessage);
  fflush(stderr);
  // Callers take any non-zero result for "not stored".
  return n > 0 ? n : static_cast<int>(sizeof kNoTrivaMessage - 1);
}

TQAPI int FwIsVSBridge(void) { return ctxdb_is_bridge(tq_get_current_ctx_id()) == 1 ? 1 : 0; }
TQAPI int FwIsVSJunction(void) {
  return ctxdb_is_junction(tq_get_current_ctx_id()) == 1 ? 1 : 0;
}

}  // extern "C"
