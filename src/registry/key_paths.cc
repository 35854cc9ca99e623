// Product key paths: the cached fixed paths, current versions, reserved
// paths, effective versions and the version override.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <utility>

#include "common/report.h"
#include "registry/registry_core.h"
#include "tqprod50.h"

namespace tq {
namespace {

char *g_mrk_path = nullptr;
char *g_tqshared_path = nullptr;
char *g_mirrak_version = nullptr;
char *g_pellora_version = nullptr;
char g_reserved_path[kPathMax];
char g_override_env[kPathMax];

constexpr const char kOverrideVar[] = "OVER_WRITE_CURRENT_VER";

char *CopyOrNull(const char *s) { return s ? strdup(s) : nullptr; }

}  // namespace

bool JoinKeyPath(std::string &out, std::initializer_list<const char *> parts) {
  out.clear();
  for (const char *p : parts) {
    if (p == nullptr) return false;
    if (!out.empty()) out += '\\';
    out += p;
    if (out.size() >= kPathMax) return false;
  }
  return true;
}

bool RegKey::Open(TQHKEY parent, const char *path) {
  TQHKEY h = 0;
  if (path == nullptr || TqkRegOpenKeyEx(parent, path, 0, 0, &h) != 0) return false;
  Adopt(h);
  return true;
}

char **LookupEffectiveVersionSlot(const char *keyPath) {
  if (keyPath == nullptr) return nullptr;
  const char *mrk = TQPROD_GetRegMrkPath();
  if (mrk != nullptr && strcmp(keyPath, mrk) == 0) return &g_mirrak_version;
  if (strcmp(keyPath, kPelloraPath) == 0) return &g_pellora_version;
  return nullptr;
}

int StoreEffectiveVersion(const char *keyPath, const char *version) {
  char **slot = LookupEffectiveVersionSlot(keyPath);
  if (slot == nullptr) return -1;
  free(*slot);
  *slot = CopyOrNull(version);
  return 0;
}

void ResetMrkPathCache() {
  free(g_mrk_path);
  g_mrk_path = nullptr;
}

const char *ReadServiceString(const char *keyPath, const char *valueName, int versioned) {
  // A ring of buffers, so that a caller holding one result survives a few
  // further reads (the service's own strings last until its next call).
  static std::string ring[8];
  static unsigned next = 0;
  if (keyPath == nullptr || valueName == nullptr) return nullptr;

  RegKey key;
  if (!key.Open(Root(), keyPath)) return nullptr;
  if (versioned) {
    char version[kVersionMax];
    unsigned type = 0, size = sizeof(version) - 1;
    if (TqkRegQueryValueEx(key.get(), "CurrentVersion", nullptr, &type, version, &size) == 0 &&
        type == TQREG_SZ) {
      version[size < sizeof(version) ? size : sizeof(version) - 1] = '\0';
      RegKey sub;
      if (version[0] != '\0') {
        if (!sub.Open(key.get(), version)) return nullptr;
        key = std::move(sub);
      }
    }
  }
  unsigned type = 0, size = 0;
  if (TqkRegQueryValueEx(key.get(), valueName, nullptr, &type, nullptr, &size) != 0 ||
      type == TQREG_DWORD)
    return nullptr;
  std::string &out = ring[next++ % 8];
  out.assign(size + 2, '\0');  // two terminators: strings and multi-strings
  unsigned got = size;
  if (TqkRegQueryValueEx(key.get(), valueName, nullptr, &type, &out[0], &got) != 0 ||
      type == TQREG_DWORD)
    return nullptr;
  return out.c_str();
}

const char *CurrentVersion(const char *product) {
  std::string path;
  if (product == nullptr || !JoinKeyPath(path, {kRoot, product})) return nullptr;
  return ReadServiceString(path.c_str(), "CurrentVersion", 0);
}

bool RelativeReservedPath(std::string &out, const char *product, const char *subkey,
                          int versioned) {
  if (product == nullptr) return false;
  std::string version;
  if (versioned) {
    const char *cv = CurrentVersion(product);
    if (cv == nullptr) return false;
    version = cv;
  }
  out = product;
  if (versioned) out += "\\" + version;
  out += "\\reserved";
  if (subkey != nullptr) {
    out += '\\';
    out += subkey;
  }
  // The absolute form (root prefixed) must fit a path buffer as well.
  return out.size() + sizeof(kRoot) < kPathMax;
}

}  // namespace tq

using namespace tq;

extern "C" {

// "CurrentVersion" is read with a type check: a number stored under that
// name is no version (and must never be taken for a pointer).
TQAPI const char *TQPROD_GetCurrentVersion(const char *product) {
  return CurrentVersion(product);
}

TQAPI char *TQPROD_GetReservedPath(const char *product, int versioned) {
  if (product == nullptr) return nullptr;
  int n;
  const char *cv = versioned ? CurrentVersion(product) : nullptr;
  if (versioned && cv == nullptr) printf("Can not get current version");
  if (cv != nullptr)
    n = snprintf(g_reserved_path, sizeof g_reserved_path, "%s\\%s\\%s\\reserved", kRoot, product, cv);
  else
    n = snprintf(g_reserved_path, sizeof g_reserved_path, "%s\\%s\\reserved", kRoot, product);
  if (n < 0 || static_cast<size_t>(n) >= sizeof g_reserved_path) {
    g_reserved_path[0] = '\0';
    return nullptr;  // a cut path would name another key
  }
  return g_reserved_path;
}

TQAPI char *TQPROD_GetRegMrkPath(void) {
  if (g_mrk_path == nullptr) {
    g_mrk_path = strdup(kMrkPath);
    if (g_mrk_path == nullptr)
      ReportError(1, -1, "TQPROD_GetRegMrkPath: cannot strdup %s", kMrkPath);
  }
  return g_mrk_path;
}

TQAPI const char *TQPROD_GetRegTQSharedPath(void) {
  if (g_tqshared_path == nullptr) {
    g_tqshared_path = strdup(kTQSharedPath);
    if (g_tqshared_path == nullptr)
      ReportError(1, -1, "TQPROD_GetRegTQSharedPath: cannot strdup %s", kTQSharedPath);
  }
  return g_tqshared_path;
}

TQAPI char *GetMirrakEffectiveVersion(void) { return CopyOrNull(g_mirrak_version); }
TQAPI char *GetPelloraEffectiveVersion(void) { return CopyOrNull(g_pellora_version); }

TQAPI int SetMirrakEffectiveVersion(const char *version) {
  free(g_mirrak_version);
  g_mirrak_version = CopyOrNull(version);
  return 0;
}

TQAPI int SetPelloraEffectiveVersion(const char *version) {
  free(g_pellora_version);
  g_pellora_version = CopyOrNull(version);
  return 0;
}

TQAPI int TQPROD_OverideCurrentVersion(const char *version) {
  // The buffer itself is in the environment: check the length before
  // touching it, so a refused version leaves the previous entry intact.
  if (version == nullptr || sizeof kOverrideVar + strlen(version) >= sizeof g_override_env)
    return -1;
  snprintf(g_override_env, sizeof g_override_env, "%s=%s", kOverrideVar, version);
  return putenv(g_override_env);
}

TQAPI char *TQPROD_GetOverideVersion(void) { return getenv(kOverrideVar); }

}  // extern "C"
