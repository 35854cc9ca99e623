// Direct registry access for the flag tests, bypassing the library.
#pragma once

#include <string.h>

#include <gtest/gtest.h>

#include <string>

#include "tqprod50.h"

namespace flagtest {

inline bool KeyExists(const char *key) {
  TQHKEY h;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key, 0, 0, &h) != 0) return false;
  TqkRegCloseKey(h);
  return true;
}

inline void MakeKey(const char *key) {
  TQHKEY h;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key, &h));
  TqkRegCloseKey(h);
}

inline void Put(const char *key, const char *name, unsigned type, const void *data,
                unsigned size) {
  TQHKEY h;
  ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key, &h));
  EXPECT_EQ(0, TqkRegSetValueEx(h, name, 0, type, data, size));
  TqkRegCloseKey(h);
}

inline void PutNumber(const char *key, const char *name, uint32_t n) { Put(key, name, 4, &n, 4); }
inline void PutText(const char *key, const char *name, const char *text) {
  Put(key, name, 1, text, static_cast<unsigned>(strlen(text) + 1));
}

// Value bytes and type, or false when the key or value is absent.
inline bool Get(const char *key, const char *name, unsigned &type, std::string &data) {
  TQHKEY h;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), key, 0, 0, &h) != 0) return false;
  char buf[8192];
  unsigned size = sizeof buf;
  int rc = TqkRegQueryValueEx(h, name, nullptr, &type, buf, &size);
  TqkRegCloseKey(h);
  if (rc != 0) return false;
  data.assign(buf, size);
  return true;
}

// The number stored, or -12345 when absent or not a number.
inline int64_t GetNumber(const char *key, const char *name) {
  unsigned type = 0;
  std::string data;
  if (!Get(key, name, type, data) || type != 4 || data.size() != 4) return -12345;
  uint32_t n;
  memcpy(&n, data.data(), 4);
  return n;
}

constexpr const char kMrk[] = "SOFTWARE\\Tarquel\\MRK";
constexpr const char kMrkV[] = "SOFTWARE\\Tarquel\\MRK\\R80";
constexpr const char kReporting[] = "SOFTWARE\\Tarquel\\Reporting Module";
constexpr const char kReportingV[] = "SOFTWARE\\Tarquel\\Reporting Module\\R80";

// Firewall and reporting keys with "CurrentVersion" R80.
inline void MakeVersionedProducts() {
  PutText(kMrk, "CurrentVersion", "R80");
  PutText(kReporting, "CurrentVersion", "R80");
}

}  // namespace flagtest
