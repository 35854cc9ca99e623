// Direct access to the registry service, bypassing the library: tests write
// a value raw and read it through a library getter, or the other way round.
// Paths are absolute below HKEY_LOCAL_MACHINE.
#pragma once

#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tqplatform.h"

namespace tqtest {

constexpr const char kTarquel[] = "SOFTWARE\\Tarquel";
// The key rel below kTarquel.
inline std::string K(const std::string &rel) { return std::string(kTarquel) + "\\" + rel; }

TQHKEY Root();
// An open handle of the key, 0 when it cannot be opened; the caller closes it.
TQHKEY OpenRaw(const std::string &key);
bool KeyExists(const std::string &key);
// Creates the key (and its parents); a failure fails the test.
void MakeKey(const std::string &key);
// Creates the key and stores the value; a failure fails the test.
void PutRaw(const std::string &key, const std::string &name, unsigned type, const void *data,
            unsigned size);
void PutStr(const std::string &key, const std::string &name, const std::string &text);
void PutNum(const std::string &key, const std::string &name, uint32_t n);

struct RawValue {
  bool found = false;
  int status = TQREG_E_NOTFOUND;  // of the read
  unsigned type = 0;
  std::string data;  // every byte as stored
};
RawValue GetRaw(const std::string &key, const std::string &name);
// The value through a handle; asks again when another process made it
// longer between the size and the data.
RawValue ReadRaw(TQHKEY h, const std::string &name);
// A string value without its terminating NUL, "<absent>" when missing.
std::string GetStr(const std::string &key, const std::string &name);
// A number value, or -1 when absent or not a 4-byte number.
int64_t GetNum(const std::string &key, const std::string &name);
// Subkey and value names in index order; empty when the key is missing.
std::vector<std::string> SubKeys(const std::string &key);
std::vector<std::string> ValueNames(const std::string &key);

}  // namespace tqtest
