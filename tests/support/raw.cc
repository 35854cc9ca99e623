#include "raw.h"

#include <string.h>

namespace tqtest {

TQHKEY Root() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }

TQHKEY OpenRaw(const std::string &key) {
  TQHKEY h = 0;
  return TqkRegOpenKeyEx(Root(), key.c_str(), 0, 0, &h) == TQREG_OK ? h : 0;
}

bool KeyExists(const std::string &key) {
  TQHKEY h = OpenRaw(key);
  if (h != 0) TqkRegCloseKey(h);
  return h != 0;
}

void MakeKey(const std::string &key) {
  TQHKEY h = 0;
  ASSERT_EQ(TQREG_OK, TqkRegCreateKey(Root(), key.c_str(), &h)) << key;
  TqkRegCloseKey(h);
}

void PutRaw(const std::string &key, const std::string &name, unsigned type, const void *data,
            unsigned size) {
  TQHKEY h = 0;
  ASSERT_EQ(TQREG_OK, TqkRegCreateKey(Root(), key.c_str(), &h)) << key;
  EXPECT_EQ(TQREG_OK, TqkRegSetValueEx(h, name.c_str(), 0, type, data, size)) << key << " " << name;
  TqkRegCloseKey(h);
}

void PutStr(const std::string &key, const std::string &name, const std::string &text) {
  PutRaw(key, name, TQREG_SZ, text.c_str(), static_cast<unsigned>(text.size() + 1));
}

void PutNum(const std::string &key, const std::string &name, uint32_t n) {
  PutRaw(key, name, TQREG_DWORD, &n, 4);
}

RawValue ReadRaw(TQHKEY h, const std::string &name) {
  RawValue r;
  unsigned size = 0;
  do {
    r.status = TqkRegQueryValueEx(h, name.c_str(), nullptr, &r.type, nullptr, &size);
    r.data.assign(size, '\0');
    if (r.status == TQREG_OK)
      r.status = TqkRegQueryValueEx(h, name.c_str(), nullptr, &r.type, size ? &r.data[0] : nullptr, &size);
  } while (r.status == TQREG_E_MOREDATA);
  r.found = r.status == TQREG_OK;
  r.data.resize(r.found ? size : 0);
  return r;
}

RawValue GetRaw(const std::string &key, const std::string &name) {
  TQHKEY h = OpenRaw(key);
  if (h == 0) return RawValue();
  RawValue r = ReadRaw(h, name);
  TqkRegCloseKey(h);
  return r;
}

std::string GetStr(const std::string &key, const std::string &name) {
  RawValue r = GetRaw(key, name);
  if (!r.found) return "<absent>";
  return r.data.substr(0, r.data.find('\0'));
}

int64_t GetNum(const std::string &key, const std::string &name) {
  RawValue r = GetRaw(key, name);
  if (!r.found || r.type != TQREG_DWORD || r.data.size() != 4) return -1;
  uint32_t n;
  memcpy(&n, r.data.data(), 4);
  return n;
}

// Names of the key's subkeys (values when of_values) in index order.
static std::vector<std::string> Names(const std::string &key, bool of_values) {
  std::vector<std::string> out;
  TQHKEY h = OpenRaw(key);
  std::vector<char> buf(16384);  // the longest value name and its NUL
  for (unsigned i = 0; h != 0; ++i) {
    unsigned n = static_cast<unsigned>(buf.size());
    int rc = of_values ? TqkRegEnumValue(h, i, buf.data(), &n, nullptr, nullptr, nullptr, nullptr)
                       : TqkRegEnumKey(h, i, buf.data(), n);
    if (rc != TQREG_OK) break;
    out.push_back(of_values ? std::string(buf.data(), n) : std::string(buf.data()));
  }
  if (h != 0) TqkRegCloseKey(h);
  return out;
}

std::vector<std::string> SubKeys(const std::string &key) { return Names(key, false); }
std::vector<std::string> ValueNames(const std::string &key) { return Names(key, true); }

}  // namespace tqtest
