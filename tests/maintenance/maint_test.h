// Helpers of the maintenance tests: building trees under SOFTWARE\Tarquel
// and reading raw values back.
#pragma once

#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tq_test.h"

namespace mtest {

inline std::string Abs(const std::string &rel) {
  return rel.empty() ? std::string("SOFTWARE\\Tarquel") : "SOFTWARE\\Tarquel\\" + rel;
}

// Creates the key (absolute path) and writes a raw value into it.
inline void PutRaw(const std::string &absKey, const char *name, unsigned type, const void *data,
                   unsigned size) {
  TQHKEY h = 0;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), absKey.c_str(), &h));
  ASSERT_EQ(0, TqkRegSetValueEx(h, name, 0, type, data, size));
  TqkRegCloseKey(h);
}

inline void PutStr(const std::string &rel, const char *name, const char *text) {
  PutRaw(Abs(rel), name, TQREG_SZ, text, static_cast<unsigned>(strlen(text) + 1));
}

inline void PutNum(const std::string &rel, const char *name, uint32_t n) {
  PutRaw(Abs(rel), name, TQREG_DWORD, &n, 4);
}

inline void MakeKey(const std::string &absKey) {
  TQHKEY h = 0;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), absKey.c_str(), &h));
  TqkRegCloseKey(h);
}

inline bool KeyExists(const std::string &absKey) {
  TQHKEY h = 0;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), absKey.c_str(), 0, 0, &h) != 0)
    return false;
  TqkRegCloseKey(h);
  return true;
}

struct Raw {
  bool found = false;
  unsigned type = 0;
  std::string data;  // all bytes as stored
};

inline Raw GetRaw(const std::string &absKey, const char *name) {
  Raw r;
  TQHKEY h = 0;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), absKey.c_str(), 0, 0, &h) != 0)
    return r;
  std::vector<char> buf(8192);
  unsigned size = static_cast<unsigned>(buf.size());
  if (TqkRegQueryValueEx(h, name, nullptr, &r.type, buf.data(), &size) == 0) {
    r.found = true;
    r.data.assign(buf.data(), size);
  }
  TqkRegCloseKey(h);
  return r;
}

inline std::string Str(const char *s) { return s ? std::string(s) : std::string("<null>"); }

// Unversioned text of a value, "<null>" when it cannot be read.
inline std::string Get(const std::string &rel, const char *name) {
  return Str(TQPROD_GetValue(rel.c_str(), name, 0));
}

// Number of values of a key (absolute path); -1 when it cannot be opened.
inline int ValueCount(const std::string &absKey) {
  TQHKEY h = 0;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), absKey.c_str(), 0, 0, &h) != 0)
    return -1;
  int n = 0;
  for (;; ++n) {
    char name[512];
    unsigned ns = sizeof name, type = 0, ds = 0;
    if (TqkRegEnumValue(h, static_cast<unsigned>(n), name, &ns, nullptr, &type, nullptr, &ds) != 0)
      break;
  }
  TqkRegCloseKey(h);
  return n;
}

// A chain of keys named "k", levels deep below base (relative), each holding
// the value "lvl" = its level number below base. Short names keep the deepest
// names below the 250-byte name limit of the value enumeration.
inline std::string MakeChain(const std::string &base, int levels) {
  std::string path = base;
  for (int i = 1; i <= levels; ++i) {
    path += "\\k";
    PutNum(path, "lvl", static_cast<uint32_t>(i));
  }
  return path;
}

}  // namespace mtest
