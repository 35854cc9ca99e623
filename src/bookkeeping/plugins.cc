// Installed plug-ins: the walk over SOFTWARE\Tarquel\products that reports
// active plug-ins, and its two filters by minor version.
#include <string.h>

#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kProductsKey[] = "SOFTWARE\\Tarquel\\products";

uint32_t g_plugin_index = 0;

// A plug-in is active when its "PIActive" is exactly "True" or exactly "1".
bool IsActivePlugIn(const char *entry) {
  if (strncmp(entry, "PI", 2) != 0) return false;
  const char *active = TQPROD_GetValue(entry, "PIActive", 1);
  return active != nullptr && (strcmp(active, "True") == 0 || strcmp(active, "1") == 0);
}

// One step of TQPROD_GetInstalledPlugIns; name is then kept only when
// keep(plug-in) holds.
template <typename Keep>
int FilteredPlugIn(int restart, char *name, Keep keep) {
  char entry[kWalkNameCapacity] = "";
  int rc = TQPROD_GetInstalledPlugIns(restart, entry);
  bool kept = rc == 0 && entry[0] != '\0' && keep(entry);
  if (name != nullptr) {
    if (kept)
      memcpy(name, entry, strlen(entry) + 1);
    else
      name[0] = '\0';
  }
  return rc;
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_GetInstalledPlugIns(int restart, char *name) {
  if (restart) g_plugin_index = 0;
  char entry[kWalkNameCapacity];
  {
    RegKey key;
    if (OpenProductKey(kProductsKey, key, nullptr, 0) != 0) return -2;
    if (!EnumValueName(key.get(), g_plugin_index, entry)) return -3;
    ++g_plugin_index;
  }
  bool active = IsActivePlugIn(entry);
  if (name != nullptr) {
    if (active)
      memcpy(name, entry, strlen(entry) + 1);
    else
      name[0] = '\0';
  }
  return 0;
}

TQAPI int TQPROD_GetInstalledPlugInsByMinorVersion(int restart, char *name) {
  return FilteredPlugIn(restart, name, [](const char *plugIn) {
    return TQPROD_GetValue(plugIn, "MinorVersion", 1) != nullptr;
  });
}

TQAPI int TQPROD_GetInstalledPlugInsByVer(int restart, char *name, const char *minorVersion) {
  return FilteredPlugIn(restart, name, [minorVersion](const char *plugIn) {
    const char *mv = TQPROD_GetValue(plugIn, "MinorVersion", 1);
    return mv != nullptr && minorVersion != nullptr && strcmp(mv, minorVersion) == 0;
  });
}

}  // extern "C"
