// Network identity: whether the machine is a multi-domain management server.
#include <string.h>

#include "tqplatform.h"
#include "tqplatform/network.h"

namespace {

constexpr const char kMdsProductKey[] = "SOFTWARE\\Tarquel\\OSTRIVA";

// True when the key has a non-empty string "CurrentVersion".
bool HasCurrentVersion(const char *keyPath) {
  TQHKEY key;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), keyPath, 0, 0, &key) != 0)
    return false;
  char version[1024];
  unsigned type = 0;
  unsigned size = sizeof version;
  int rc = TqkRegQueryValueEx(key, "CurrentVersion", nullptr, &type, version, &size);
  TqkRegCloseKey(key);
  if (rc != 0 || type != TQREG_SZ || size == 0) return false;
  version[sizeof version - 1] = '\0';
  if (size < sizeof version) version[size] = '\0';
  return version[0] != '\0';
}

}  // namespace

extern "C" TQAPI int is_virtual_local_address(void) {
  if (tq_get_current_ctx_id() != 0) return 0;
  return HasCurrentVersion(kMdsProductKey) ? 1 : 0;
}
