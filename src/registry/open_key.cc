// OpenProductKey and the typed writers built on it.
#include <stdlib.h>
#include <string.h>

#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {

int OpenProductKey(const char *keyPath, TQHKEY *out, char *version, int versioned) {
  if (version != nullptr) version[0] = '\0';
  if (keyPath == nullptr || out == nullptr) return -1;
  TQHKEY h = 0;
  if (TqkRegOpenKeyEx(Root(), keyPath, 0, 0, &h) != 0) return -1;
  if (!versioned) {
    *out = h;
    return 0;
  }

  // Which version: the key's effective version, else its "CurrentVersion"
  // string; the override in the environment wins over both.
  char chosen[kVersionMax] = "";
  char **slot = LookupEffectiveVersionSlot(keyPath);
  if (slot != nullptr && *slot != nullptr) {
    strncpy(chosen, *slot, sizeof chosen - 1);
  } else {
    char buf[kVersionMax];
    unsigned type = 0, size = sizeof buf;
    if (TqkRegQueryValueEx(h, "CurrentVersion", nullptr, &type, buf, &size) == 0 &&
        type == TQREG_SZ) {
      buf[size < sizeof buf ? size : sizeof buf - 1] = '\0';
      strcpy(chosen, buf);
    }
  }
  if (const char *override_version = TQPROD_GetOverideVersion()) {
    strncpy(chosen, override_version, sizeof chosen - 1);
    chosen[sizeof chosen - 1] = '\0';
  }
  if (chosen[0] == '\0') {  // no version: the key itself
    *out = h;
    return 0;
  }

  TQHKEY sub = 0;
  if (TqkRegOpenKey(h, chosen, &sub) != 0 && TqkRegCreateKey(h, chosen, &sub) != 0) {
    TqkRegCloseKey(h);
    return -1;
  }
  TqkRegCloseKey(h);
  *out = sub;
  if (version != nullptr) strcpy(version, chosen);
  return 0;
}

int OpenProductKey(const char *keyPath, RegKey &key, char *version, int versioned) {
  TQHKEY h = 0;
  if (OpenProductKey(keyPath, &h, version, versioned) != 0) return -1;
  key.Adopt(h);
  return 0;
}

int SetTypedValue(const char *keyPath, const char *valueName, unsigned type,
                  const void *data, unsigned size, int versioned) {
  RegKey key;
  if (OpenProductKey(keyPath, key, nullptr, versioned) != 0) return -1;
  TqkRegSetValueEx(key.get(), valueName, 0, type, data, size);
  return 0;
}

int SetDwordValue(const char *keyPath, const char *valueName, uint32_t value, int versioned) {
  return SetTypedValue(keyPath, valueName, TQREG_DWORD, &value, sizeof value, versioned);
}

void BuildVersionedKeyPath(const char *keyPath, char *out) {
  if (out == nullptr) return;
  out[0] = '\0';
  if (keyPath == nullptr) return;
  size_t len = strlen(keyPath);
  if (len >= kPathMax) return;
  memcpy(out, keyPath, len + 1);
  char version[kVersionMax];
  RegKey key;
  if (OpenProductKey(keyPath, key, version, 1) != 0 || version[0] == '\0') return;
  if (len + 1 + strlen(version) < kPathMax) {
    out[len] = '\\';
    strcpy(out + len + 1, version);
  }
}

}  // namespace tq
