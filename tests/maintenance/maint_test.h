// Helpers of the maintenance tests: trees under SOFTWARE\Tarquel, raw reads.
#pragma once

#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tq_test.h"

namespace mtest {

inline TQHKEY Hklm() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }
inline std::string Abs(const std::string &rel) {
  return rel.empty() ? std::string("SOFTWARE\\Tarquel") : "SOFTWARE\\Tarquel\\" + rel;
}
inline TQHKEY Open(const std::string &absKey) {
  TQHKEY h = 0;
  return TqkRegOpenKeyEx(Hklm(), absKey.c_str(), 0, 0, &h) == 0 ? h : 0;
}
inline bool KeyExists(const std::string &absKey) {
  TQHKEY h = Open(absKey);
  if (h) TqkRegCloseKey(h);
  return h != 0;
}

// Creates the key (absolute path) and writes a raw value into it (none when name is null).
inline void PutRaw(const std::string &absKey, const char *name, unsigned type, const void *data,
                   unsigned size) {
  TQHKEY h = 0;
  ASSERT_EQ(0, TqkRegCreateKey(Hklm(), absKey.c_str(), &h));
  if (name) {
    EXPECT_EQ(0, TqkRegSetValueEx(h, name, 0, type, data, size));
  }
  TqkRegCloseKey(h);
}
inline void MakeKey(const std::string &absKey) { PutRaw(absKey, nullptr, 0, nullptr, 0); }
inline void PutStr(const std::string &rel, const char *name, const char *text) {
  PutRaw(Abs(rel), name, TQREG_SZ, text, static_cast<unsigned>(strlen(text) + 1));
}
inline void PutNum(const std::string &rel, const char *name, uint32_t n) {
  PutRaw(Abs(rel), name, TQREG_DWORD, &n, 4);
}

struct Raw {
  bool found = false;
  unsigned type = 0;
  std::string data;  // all bytes as stored
};
inline Raw GetRaw(const std::string &absKey, const char *name) {
  Raw r;
  TQHKEY h = Open(absKey);
  if (!h) return r;
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
  TQHKEY h = Open(absKey);
  if (!h) return -1;
  int n = 0;
  for (char name[512];; ++n) {
    unsigned ns = sizeof name, type = 0, ds = 0;
    if (TqkRegEnumValue(h, static_cast<unsigned>(n), name, &ns, nullptr, &type, nullptr, &ds) != 0)
      break;
  }
  TqkRegCloseKey(h);
  return n;
}

// A chain of keys "k", levels deep below base (relative), each holding "lvl" =
// its level. Short names keep the deepest names under the 250-byte enum limit.
inline void MakeChain(const std::string &base, int levels) {
  std::string path = base;
  for (int i = 1; i <= levels; ++i) PutNum(path += "\\k", "lvl", static_cast<uint32_t>(i));
}
inline std::string Chain(std::string base, int levels) {
  while (levels-- > 0) base += "\\k";
  return base;
}

}  // namespace mtest
