#include "registry_io.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

namespace tqtool {
namespace {

struct Key {
  TQHKEY h = 0;
  bool open = false;
  ~Key() {
    if (open) TqkRegCloseKey(h);
  }
  int Open(const std::string &path) {
    int rc = TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), path.c_str(), 0, 0, &h);
    open = rc == 0;
    return rc;
  }
};

std::string Describe(const std::string &key) { return key.empty() ? "HKEY_LOCAL_MACHINE" : key; }

bool ReadOpen(Key &k, const std::string &key, const std::string &name, Value &out,
              std::string &why) {
  unsigned type = 0, size = 0;
  int rc = TqkRegQueryValueEx(k.h, name.c_str(), nullptr, &type, nullptr, &size);
  if (rc == 0) {
    out.data.assign(size, '\0');
    rc = TqkRegQueryValueEx(k.h, name.c_str(), nullptr, &type, size ? &out.data[0] : nullptr,
                            &size);
    out.data.resize(size);
  }
  if (rc != 0) {
    why = "value \"" + name + "\" of " + Describe(key) + ": " + StatusText(rc);
    return false;
  }
  out.name = name;
  out.type = type;
  return true;
}

bool ReadTreeAt(const std::string &key, KeyNode &out, unsigned depth, std::string &why) {
  if (depth > TQREG_MAX_DEPTH) return why = Describe(key) + ": tree too deep", false;
  std::vector<std::string> subkeys;
  out.path = key;
  if (!ListKey(key, subkeys, out.values, why)) return false;
  for (const std::string &s : subkeys) {
    KeyNode child;
    if (!ReadTreeAt(key.empty() ? s : key + "\\" + s, child, depth + 1, why)) return false;
    out.children.push_back(std::move(child));
  }
  return true;
}

}  // namespace

std::string StatusText(int rc) {
  switch (rc) {
    case TQREG_E_NOTFOUND: return "not found";
    case TQREG_E_BADHANDLE: return "the key was deleted meanwhile";
    case TQREG_E_INVALID: return "invalid name or argument";
    case TQREG_E_LIMIT:
      return "beyond the registry's limits (key name 255, value name 16383, data 1 MiB, depth 512)";
    default: {
      // A database failure: the platform's text names the file and the cause.
      const char *text = TqkRegGetLastErrorText();
      if (TqkRegGetLastError() == rc && text != nullptr && *text != '\0') return text;
      return "error " + std::to_string(rc);
    }
  }
}

bool NormalizeKey(const std::string &in, std::string &out, std::string &why) {
  std::string s = in;
  size_t start = s.find_first_not_of('\\');
  s = start == std::string::npos ? "" : s.substr(start);
  while (!s.empty() && s.back() == '\\') s.pop_back();
  std::string first = s.substr(0, s.find('\\'));
  if (strcasecmp(first.c_str(), "HKEY_LOCAL_MACHINE") == 0 || strcasecmp(first.c_str(), "HKLM") == 0) {
    s = first.size() < s.size() ? s.substr(first.size() + 1) : "";
  } else if (strncasecmp(first.c_str(), "HKEY_", 5) == 0 || strcasecmp(first.c_str(), "HKCU") == 0 ||
             strcasecmp(first.c_str(), "HKCR") == 0 || strcasecmp(first.c_str(), "HKU") == 0) {
    why = "key " + in + " is outside HKEY_LOCAL_MACHINE";
    return false;
  }
  if (s.find("\\\\") != std::string::npos) {
    why = "key " + in + " has an empty component";
    return false;
  }
  out = s;
  return true;
}

bool KeyExists(const std::string &key) {
  Key k;
  return k.Open(key) == 0;
}

bool ReadValue(const std::string &key, const std::string &name, Value &out, std::string &why) {
  Key k;
  int rc = k.Open(key);
  if (rc != 0) return why = "key " + Describe(key) + ": " + StatusText(rc), false;
  return ReadOpen(k, key, name, out, why);
}

bool CreateKey(const std::string &key, std::string &why) {
  Key k;
  int rc = TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str(), &k.h);
  if (rc != 0) return why = "cannot create key " + Describe(key) + ": " + StatusText(rc), false;
  k.open = true;
  return true;
}

bool WriteValue(const std::string &key, const Value &v, std::string &why) {
  Key k;
  int rc = TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str(), &k.h);
  if (rc != 0) return why = "cannot create key " + Describe(key) + ": " + StatusText(rc), false;
  k.open = true;
  rc = TqkRegSetValueEx(k.h, v.name.c_str(), 0, v.type, v.data.data(),
                        static_cast<unsigned>(v.data.size()));
  if (rc != 0)
    return why = "cannot write value \"" + v.name + "\" of " + Describe(key) + ": " +
                 StatusText(rc), false;
  return true;
}

bool DeleteValue(const std::string &key, const std::string &name, std::string &why) {
  Key k;
  int rc = k.Open(key);
  if (rc != 0) return why = "key " + Describe(key) + ": " + StatusText(rc), false;
  rc = TqkRegDeleteValue(k.h, name.c_str());
  if (rc != 0) return why = "value \"" + name + "\" of " + Describe(key) + ": " + StatusText(rc), false;
  return true;
}

bool DeleteKey(const std::string &key, std::string &why) {
  if (key.empty()) return why = "refusing to delete HKEY_LOCAL_MACHINE itself", false;
  int rc = TqkRegDeleteKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key.c_str());
  if (rc != 0) return why = "key " + key + ": " + StatusText(rc), false;
  return true;
}

bool ListKey(const std::string &key, std::vector<std::string> &subkeys,
             std::vector<Value> &values, std::string &why) {
  Key k;
  int rc = k.Open(key);
  if (rc != 0) return why = "key " + Describe(key) + ": " + StatusText(rc), false;
  std::vector<char> buf(TQREG_MAX_VALUE_NAME + 1);
  char *name = buf.data();
  for (unsigned i = 0; TqkRegEnumKey(k.h, i, name, TQREG_MAX_NAME + 1) == 0; ++i)
    subkeys.push_back(name);
  for (unsigned i = 0;; ++i) {
    unsigned name_size = static_cast<unsigned>(buf.size()), type = 0, data_size = 0;
    int erc = TqkRegEnumValue(k.h, i, name, &name_size, nullptr, &type, nullptr, &data_size);
    if (erc != 0 && erc != TQREG_E_MOREDATA) break;
    Value v;
    if (!ReadOpen(k, key, std::string(name, name_size), v, why)) return false;
    values.push_back(std::move(v));
  }
  return true;
}

bool ReadTree(const std::string &key, KeyNode &out, std::string &why) {
  return ReadTreeAt(key, out, 0, why);
}

std::vector<std::string> MultiItems(const std::string &data) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos < data.size() && data[pos] != '\0') {
    size_t end = data.find('\0', pos);
    if (end == std::string::npos) end = data.size();
    items.push_back(data.substr(pos, end - pos));
    pos = end + 1;
  }
  return items;
}

const char *TypeName(unsigned type) {
  switch (type) {
    case TQREG_SZ: return "string";
    case TQREG_DWORD: return "number";
    case TQREG_MULTI_SZ: return "multi-string";
    default: return "binary";
  }
}

std::string FormatData(const Value &v) {
  if (v.type == TQREG_DWORD && v.data.size() == 4) {
    int32_t n;
    memcpy(&n, v.data.data(), 4);
    return std::to_string(n);
  }
  if (v.type == TQREG_SZ || v.type == TQREG_EXPAND_SZ) return std::string(v.data.c_str());
  if (v.type == TQREG_MULTI_SZ) {
    std::string out;
    for (const std::string &item : MultiItems(v.data)) {
      if (!out.empty()) out += " | ";
      out += item;
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
