#include "registry_io.h"

#include <stdio.h>
#include <string.h>

namespace tqtool {
namespace {

struct Key {
  TQHKEY h = 0;
  bool open = false;
  ~Key() {
    if (open) TqkRegCloseKey(h);
  }
};

std::string Status(const char *what, int rc) {
  switch (rc) {
    case TQREG_E_NOTFOUND: return std::string(what) + ": not found";
    case TQREG_E_INVALID: return std::string(what) + ": invalid argument";
    case TQREG_E_LIMIT: return std::string(what) + ": beyond the registry's limits";
    case TQREG_E_IO: return std::string(what) + ": the registry database failed";
    default: return std::string(what) + ": error " + std::to_string(rc);
  }
}

}  // namespace

const char *TypeName(unsigned type) {
  switch (type) {
    case TQREG_SZ: return "string";
    case TQREG_DWORD: return "number";
    case TQREG_MULTI_SZ: return "multi-string";
    default: return "binary";
  }
}

bool ReadValue(const std::string &key, const std::string &name, Value &out, std::string &why) {
  Key k;
  int rc = TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str(), 0, 0, &k.h);
  if (rc != 0) {
    why = Status(("key " + key).c_str(), rc);
    return false;
  }
  k.open = true;
  unsigned type = 0, size = 0;
  rc = TqkRegQueryValueEx(k.h, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc == 0) {
    out.data.assign(size, '\0');
    rc = TqkRegQueryValueEx(k.h, name.c_str(), nullptr, &type, &out.data[0], &size);
    out.data.resize(size);
  }
  if (rc != 0) {
    why = Status(("value " + name + " of " + key).c_str(), rc);
    return false;
  }
  out.name = name;
  out.type = type;
  return true;
}

bool WriteValue(const std::string &key, const Value &v, std::string &why) {
  Key k;
  int rc = TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str(), &k.h);
  if (rc != 0) {
    why = Status(("key " + key).c_str(), rc);
    return false;
  }
  k.open = true;
  rc = TqkRegSetValueEx(k.h, v.name.c_str(), 0, v.type, v.data.data(),
                        static_cast<unsigned>(v.data.size()));
  if (rc != 0) {
    why = Status(("value " + v.name).c_str(), rc);
    return false;
  }
  return true;
}

bool ListKey(const std::string &key, std::vector<std::string> &subkeys,
             std::vector<Value> &values, std::string &why) {
  Key k;
  int rc = TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str(), 0, 0, &k.h);
  if (rc != 0) {
    why = Status(("key " + key).c_str(), rc);
    return false;
  }
  k.open = true;
  char name[TQREG_MAX_NAME + 1];
  for (unsigned i = 0; TqkRegEnumKey(k.h, i, name, sizeof name) == 0; ++i) subkeys.push_back(name);
  for (unsigned i = 0;; ++i) {
    unsigned name_size = sizeof name, type = 0, data_size = 0;
    if (TqkRegEnumValue(k.h, i, name, &name_size, nullptr, &type, nullptr, &data_size) != 0) break;
    Value v;
    std::string ignored;
    if (ReadValue(key, name, v, ignored)) values.push_back(v);
  }
  return true;
}

std::string FormatData(const Value &v) {
  if (v.type == TQREG_DWORD && v.data.size() >= 4) {
    int32_t n;
    memcpy(&n, v.data.data(), 4);
    return std::to_string(n);
  }
  if (v.type == TQREG_SZ) return std::string(v.data.c_str());
  if (v.type == TQREG_MULTI_SZ) {
    std::string out;
    for (size_t pos = 0; pos < v.data.size() && v.data[pos] != '\0';) {
      std::string item(v.data.c_str() + pos);
      if (!out.empty()) out += " | ";
      out += item;
      pos += item.size() + 1;
    }
    return out;
  }
  std::string hex;
  char buf[4];
  for (unsigned char c : v.data) {
    snprintf(buf, sizeof buf, "%02x", c);
    hex += buf;
  }
  return hex;
}

}  // namespace tqtool
