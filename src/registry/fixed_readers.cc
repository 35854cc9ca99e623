// Extension-library lists and the readers of fixed firewall keys.
#include <stdlib.h>
#include <string.h>

#include "registry/registry_core.h"
#include "tqprod50.h"

using namespace tq;

namespace {
constexpr const char kExtensionDllsPath[] = "SOFTWARE\\Tarquel\\Extension DLLs";

TQREGVAR ReadMrk(const char *name) {
  const char *mrk = TQPROD_GetRegMrkPath();
  if (mrk == nullptr || name == nullptr) return 0;
  return TQPRODIS_GetVarFromRegistry(mrk, name, 1);
}
}  // namespace

extern "C" {

TQAPI int GetDllsList(const char *valueName, char **list, int max) {
  // Read with a type check: a number stored under the name is no list.
  const char *strings = ReadServiceString(kExtensionDllsPath, valueName, 0);
  if (strings == nullptr || strings[0] == '\0') return 0;
  if (max < 1 || list == nullptr) return -1;
  int n = 0;
  for (const char *s = strings; *s != '\0'; s += strlen(s) + 1) {
    char *copy = (n < max) ? strdup(s) : nullptr;
    if (copy == nullptr) {  // more strings than max (or out of memory)
      FreeDllsList(list, n);
      return -1;
    }
    list[n++] = copy;
  }
  return n;
}

TQAPI int FreeDllsList(char **list, int count) {
  for (int i = 0; list != nullptr && i < count; ++i) {
    free(list[i]);
    list[i] = nullptr;
  }
  return 0;
}

TQAPI TQREGVAR fwregistry_readparam(const char *name) { return ReadMrk(name); }
TQAPI TQREGVAR GetDllPathFromRegistry(const char *name) { return ReadMrk(name); }
TQAPI TQREGVAR FwGetParam(const char *name) { return ReadMrk(name); }
TQAPI TQREGVAR FwGetEventLogServer(void) { return ReadMrk("EventLogServer"); }

TQAPI TQREGVAR GetMdsFwdirFromRegistry(void) {
  return TQPRODIS_GetVarFromRegistry("SOFTWARE\\Tarquel\\OSTRIVA", "FWDIR", 1);
}

TQAPI const char *TQPROD_GetFwdir(void) { return GetFwdirFromRegistry(); }

}  // extern "C"
