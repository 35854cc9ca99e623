// Hot fixes: the list of installed hot fixes and its two walks, the removal
// commands of hot fixes and product levels, and the hot-fix bookkeeping
// values ("LastInfo") with the firewall's minor versions.
#include <string.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {

bool EnumValueName(TQHKEY key, uint32_t index, char *name) {
  char data[kWalkNameCapacity];
  unsigned nameSize = kWalkNameCapacity, dataSize = sizeof data, type = 0;
  int rc = TqkRegEnumValue(key, index, name, &nameSize, nullptr, &type, data, &dataSize);
  if (rc == TQREG_E_MOREDATA) {
    // Only the name is wanted: large data does not end the walk.
    nameSize = kWalkNameCapacity;
    dataSize = 0;
    rc = TqkRegEnumValue(key, index, name, &nameSize, nullptr, &type, nullptr, &dataSize);
  }
  return rc == 0;
}

bool KeyHasValue(const std::string &absoluteKey, const char *valueName) {
  RegKey key;
  if (!key.Open(Root(), absoluteKey.c_str())) return false;
  unsigned type = 0, size = 0;
  int rc = TqkRegQueryValueEx(key.get(), valueName, nullptr, &type, nullptr, &size);
  return rc == 0 || rc == TQREG_E_MOREDATA;
}

namespace {

constexpr const char kSilentUninstall[] = "SilentUninstall";
constexpr const char kLastInfo[] = "HotFixes\\LastInfo";

WalkCursor<50> g_hotfixes;
WalkCursor<50> g_hotfixes_without_dummy;

// Next hot fix of the remembered product whose own key has a removal
// command (and, when skipDummy, no "Dummy" placeholder mark).
int NextHotFix(WalkCursor<50> &c, const char *product, char *name, bool skipDummy) {
  if (!c.Restart(product) || name == nullptr) return -1;
  std::string version;
  if (!CurrentVersionOf(version, c.product)) return -1;
  std::string list, rel;
  if (!VersionKeyPath(rel, c.product, {"hotfixes"}) || !AbsolutePath(list, rel)) return -2;
  for (;;) {
    {
      RegKey key;
      if (OpenProductKey(list.c_str(), key, nullptr, 0) != 0) return -2;
      if (!EnumValueName(key.get(), c.index, name)) return -3;
      ++c.index;
    }
    std::string own;
    if (name[0] == '\0' || !JoinKeyPath(own, {kRoot, c.product, version.c_str(), name})) continue;
    if (KeyHasValue(own, kSilentUninstall) && !(skipDummy && KeyHasValue(own, "Dummy")))
      return 0;
  }
}

// <product>\<version>\hotfix_<hotfix>
bool HotFixKey(std::string &out, const char *product, const char *hotfix) {
  if (hotfix == nullptr) return false;
  std::string key = std::string("hotfix_") + hotfix;
  return VersionKeyPath(out, product, {key.c_str()});
}

// MRK\<version>\<LastHFARegName of MRK>; the name is read first.
bool PrevMinorVersionKey(std::string &out) {
  std::string regName;
  const char *name = TQPROD_GetLastHFARegName("MRK");
  if (name == nullptr || *name == '\0') return false;
  regName = name;
  return VersionKeyPath(out, "MRK", {regName.c_str()});
}

const char *GetAt(const char *product, std::initializer_list<const char *> parts,
                  const char *valueName) {
  std::string key;
  if (!VersionKeyPath(key, product, parts)) return nullptr;
  return TQPROD_GetValue(key.c_str(), valueName, 0);
}

int SetAt(const char *product, std::initializer_list<const char *> parts,
          const char *valueName, const char *value) {
  std::string key;
  if (!VersionKeyPath(key, product, parts)) return -1;
  return TQPROD_SetValue(key.c_str(), valueName, TQREG_SZ, value, 0);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_GetHotFixes(const char *product, char *name) {
  return NextHotFix(g_hotfixes, product, name, false);
}

TQAPI int TQPROD_GetHotFixesWithoutDummy(const char *product, char *name) {
  return NextHotFix(g_hotfixes_without_dummy, product, name, true);
}

TQAPI const char *TQPROD_GetHFSilentUninstall(const char *product, const char *hotfix) {
  std::string key;
  if (!HotFixKey(key, product, hotfix)) return nullptr;
  return TQPROD_GetValue(key.c_str(), kSilentUninstall, 0);
}

TQAPI int TQPROD_SetHFSilentUninstall(const char *product, const char *hotfix,
                                      const char *command) {
  std::string key;
  if (!HotFixKey(key, product, hotfix)) return -1;
  return TQPROD_SetValue(key.c_str(), kSilentUninstall, TQREG_SZ, command, 0);
}

TQAPI const char *TQPROD_GetSilentUninstall(const char *product) {
  char *path = TQPROD_GetPath(product, "msp");
  if (path == nullptr) return nullptr;
  const char *command = TQPROD_GetValue(path, kSilentUninstall, 0);
  free(path);
  return command;
}

TQAPI int TQPROD_SetSilentUninstall(const char *product, const char *command) {
  char *path = TQPROD_GetPath(product, "msp");
  if (path == nullptr) return -1;
  int rc = TQPROD_SetValue(path, kSilentUninstall, TQREG_SZ, command, 0);
  free(path);
  return rc;
}

TQAPI const char *TQPROD_GetLastHFAIndex(const char *product) {
  return GetAt(product, {kLastInfo}, "LastHFAIndex");
}
TQAPI int TQPROD_SetLastHFAIndex(const char *product, const char *value) {
  return SetAt(product, {kLastInfo}, "LastHFAIndex", value);
}
TQAPI const char *TQPROD_GetLastHFARegName(const char *product) {
  return GetAt(product, {kLastInfo}, "LastHFARegName");
}
TQAPI int TQPROD_SetLastHFARegName(const char *product, const char *value) {
  return SetAt(product, {kLastInfo}, "LastHFARegName", value);
}

TQAPI const char *TQPROD_GetLastMinorVersion(void) {
  return GetAt("MRK", {kLastInfo}, "LastMinorVersion");
}
TQAPI int TQPROD_SetLastMinorVersion(const char *value) {
  return SetAt("MRK", {kLastInfo}, "LastMinorVersion", value);
}

TQAPI const char *TQPROD_GetPrevMinorVersion(void) {
  std::string key;
  if (!PrevMinorVersionKey(key)) return nullptr;
  return TQPROD_GetValue(key.c_str(), "PrevMinorVersion", 0);
}
TQAPI int TQPROD_SetPrevMinorVersion(const char *value) {
  std::string key;
  if (!PrevMinorVersionKey(key)) return -1;
  return TQPROD_SetValue(key.c_str(), "PrevMinorVersion", TQREG_SZ, value, 0);
}

}  // extern "C"
