// Exported entry points of the registry service: thin wrappers over Service
// that note every failure as the thread's last error and log failed writes.
#include <string>

#include "registry/last_error.h"
#include "registry/service.h"
#include "tqplatform/logging.h"
#include "tqplatform/registry.h"

using tq::platform::reg::kRootHandle;
using tq::platform::reg::LastErrorText;
using tq::platform::reg::Service;

namespace {

int Status(int rc) { return rc == TQREG_OK ? rc : Service::Instance().Refuse(rc); }

// A failed write is logged once: its text, the key and the value name. A
// delete of something already absent is not a failure worth a line.
// key_path() is asked only for a failure: a successful write pays nothing.
template <typename KeyPath>
int Write(int rc, KeyPath key_path, const char *name) {
  if (rc == TQREG_OK) return rc;
  Status(rc);
  if (rc == TQREG_E_NOTFOUND) return rc;
  std::string line = std::string("write failed: ") + LastErrorText();
  line += "; key \"" + key_path() + "\"";
  if (name != nullptr) line += std::string("; value \"") + name + "\"";
  tderrorFunc("REGISTRY", 1, rc, line.c_str());
  return rc;
}

std::string Below(TQHKEY key, const char *path) {
  std::string base = Service::Instance().KeyPathOf(key);
  if (path == nullptr || *path == '\0') return base;
  return base.empty() ? std::string(path) : base + "\\" + path;
}

}  // namespace

extern "C" {

TQAPI TQHKEY TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(void) { return kRootHandle; }

TQAPI int TqkRegOpenKeyEx(TQHKEY parent, const char *path, unsigned, unsigned, TQHKEY *out) {
  return Status(Service::Instance().OpenKey(parent, path, out));
}

TQAPI int TqkRegOpenKey(TQHKEY parent, const char *subkey, TQHKEY *out) {
  return Status(Service::Instance().OpenKey(parent, subkey, out));
}

TQAPI int TqkRegCreateKey(TQHKEY parent, const char *path, TQHKEY *out) {
  return Write(Service::Instance().CreateKey(parent, path, out),
               [&] { return Below(parent, path); }, nullptr);
}

TQAPI int TqkRegCloseKey(TQHKEY key) { return Status(Service::Instance().CloseKey(key)); }

TQAPI int TqkRegQueryValueEx(TQHKEY key, const char *name, unsigned *, unsigned *type, void *data,
                             unsigned *size) {
  return Status(Service::Instance().QueryValue(key, name, type, data, size));
}

TQAPI int TqkRegSetValueEx(TQHKEY key, const char *name, unsigned, unsigned type,
                           const void *data, unsigned size) {
  return Write(Service::Instance().SetValue(key, name, type, data, size),
               [&] { return Below(key, nullptr); },
               name);
}

TQAPI int TqkRegEnumKey(TQHKEY key, unsigned index, char *name, unsigned capacity) {
  return Status(Service::Instance().EnumKey(key, index, name, capacity));
}

TQAPI int TqkRegEnumValue(TQHKEY key, unsigned index, char *name, unsigned *name_size,
                          unsigned *, unsigned *type, void *data, unsigned *data_size) {
  return Status(Service::Instance().EnumValue(key, index, name, name_size, type, data, data_size));
}

TQAPI int TqkRegDeleteKey(TQHKEY parent, const char *path) {
  return Write(Service::Instance().DeleteKey(parent, path),
               [&] { return Below(parent, path); }, nullptr);
}

TQAPI int TqkRegDeleteValue(TQHKEY key, const char *name) {
  return Write(Service::Instance().DeleteValue(key, name), [&] { return Below(key, nullptr); }, name);
}

TQAPI int TqkResetGlobalEntries(void) {
  int rc = Status(Service::Instance().Reset());
  if (rc == TQREG_OK) Service::Instance().DropCache();
  return rc;
}

TQAPI int reset_reg_sic_cache(void) { return Service::Instance().DropCache(); }

TQAPI unsigned long TqkRegCreatedKeyCount(void) { return Service::Instance().CreatedKeyCount(); }

TQAPI int TqkRegBeginBatch(void) { return Status(Service::Instance().BeginBatch()); }

TQAPI int TqkRegEndBatch(int commit) {
  return Write(Service::Instance().EndBatch(commit != 0), [] { return std::string("(batch)"); }, nullptr);
}

TQAPI TQREGVAR TQPRODIS_GetVarFromRegistry(const char *key_path, const char *value_name,
                                           int versioned) {
  return Service::Instance().GetVar(key_path, value_name, versioned);
}

TQAPI int TQPRODIS_SetVarToRegistry(const char *key_path, const char *value_name,
                                    uint32_t value, int versioned) {
  int rc = Service::Instance().SetVar(key_path, value_name, value, versioned);
  if (rc != 0) {
    Write(tq::platform::reg::LastError(),
          [&] { return std::string(key_path ? key_path : ""); }, value_name);
  }
  return rc;
}

TQAPI int TQPRODIS_CopyKeyValues(uint32_t src, uint32_t dst) {
  int rc = Service::Instance().CopyValues(src, dst);
  if (rc != 0) Write(tq::platform::reg::LastError(), [&] { return Below(dst, nullptr); }, nullptr);
  return rc;
}

TQAPI const char *GetFwdirFromRegistry(void) { return Service::Instance().GetFwdir(); }

}  // extern "C"

extern "C" {

// The history functions leave their own texts for refusals of their own
// (an unknown or pruned checkpoint).
TQAPI int TqkRegCheckpoint(const char *name) { return Service::Instance().Checkpoint(name); }

TQAPI int TqkRegRollback(const char *name) { return Service::Instance().Rollback(name); }

TQAPI int TqkRegHistory(int64_t after_seq, TQREGCHANGEFN fn, void *ctx) {
  return Service::Instance().History(after_seq, fn, ctx);
}

TQAPI int TqkRegCheckpoints(TQREGCHECKPOINTFN fn, void *ctx) {
  return Service::Instance().Checkpoints(fn, ctx);
}

}  // extern "C"

extern "C" {

TQAPI int64_t TqkRegHistoryPosition(void) { return Service::Instance().HistoryPosition(); }

TQAPI int TqkRegNotifyChangeKeyValue(TQHKEY key, int watch_subtree, unsigned filter,
                                     unsigned timeout_ms) {
  return Service::Instance().Notify(key, watch_subtree, filter, timeout_ms);
}

}  // extern "C"
