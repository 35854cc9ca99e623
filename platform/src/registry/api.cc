// Exported entry points of the registry service: thin wrappers over Service.
#include "registry/service.h"
#include "tqplatform/registry.h"

using tq::platform::reg::kRootHandle;
using tq::platform::reg::Service;

extern "C" {

TQAPI TQHKEY TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(void) { return kRootHandle; }

TQAPI int TqkRegOpenKeyEx(TQHKEY parent, const char *path, unsigned, unsigned, TQHKEY *out) {
  return Service::Instance().OpenKey(parent, path, out);
}

TQAPI int TqkRegOpenKey(TQHKEY parent, const char *subkey, TQHKEY *out) {
  return Service::Instance().OpenKey(parent, subkey, out);
}

TQAPI int TqkRegCreateKey(TQHKEY parent, const char *path, TQHKEY *out) {
  return Service::Instance().CreateKey(parent, path, out);
}

TQAPI int TqkRegCloseKey(TQHKEY key) { return Service::Instance().CloseKey(key); }

TQAPI int TqkRegQueryValueEx(TQHKEY key, const char *name, unsigned *, unsigned *type, void *data,
                             unsigned *size) {
  return Service::Instance().QueryValue(key, name, type, data, size);
}

TQAPI int TqkRegSetValueEx(TQHKEY key, const char *name, unsigned, unsigned type,
                           const void *data, unsigned size) {
  return Service::Instance().SetValue(key, name, type, data, size);
}

TQAPI int TqkRegEnumKey(TQHKEY key, unsigned index, char *name, unsigned capacity) {
  return Service::Instance().EnumKey(key, index, name, capacity);
}

TQAPI int TqkRegEnumValue(TQHKEY key, unsigned index, char *name, unsigned *name_size,
                          unsigned *, unsigned *type, void *data, unsigned *data_size) {
  return Service::Instance().EnumValue(key, index, name, name_size, type, data, data_size);
}

TQAPI int TqkRegDeleteKey(TQHKEY parent, const char *path) {
  return Service::Instance().DeleteKey(parent, path);
}

TQAPI int TqkRegDeleteValue(TQHKEY key, const char *name) {
  return Service::Instance().DeleteValue(key, name);
}

TQAPI int TqkResetGlobalEntries(void) {
  int rc = Service::Instance().Reset();
  if (rc == TQREG_OK) Service::Instance().DropCache();
  return rc;
}

TQAPI int reset_reg_sic_cache(void) { return Service::Instance().DropCache(); }

TQAPI int TqkRegBeginBatch(void) { return Service::Instance().BeginBatch(); }

TQAPI int TqkRegEndBatch(int commit) { return Service::Instance().EndBatch(commit != 0); }

TQAPI TQREGVAR TQPRODIS_GetVarFromRegistry(const char *key_path, const char *value_name,
                                           int versioned) {
  return Service::Instance().GetVar(key_path, value_name, versioned);
}

TQAPI int TQPRODIS_SetVarToRegistry(const char *key_path, const char *value_name,
                                    uint32_t value, int versioned) {
  return Service::Instance().SetVar(key_path, value_name, value, versioned);
}

TQAPI int TQPRODIS_CopyKeyValues(uint32_t src, uint32_t dst) {
  return Service::Instance().CopyValues(src, dst);
}

TQAPI const char *GetFwdirFromRegistry(void) { return Service::Instance().GetFwdir(); }

}  // extern "C"
