// Direct access to the registry service for the tool: absolute key paths
// below HKEY_LOCAL_MACHINE, typed values, whole subtrees.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "tqplatform.h"

namespace tqtool {

struct Value {
  std::string name;
  unsigned type = 0;
  std::string data;  // raw bytes as stored
};

struct KeyNode {
  std::string path;  // absolute, without the root name
  std::vector<Value> values;
  std::vector<KeyNode> children;
};

// "HKEY_LOCAL_MACHINE\A\B", "HKLM\A\B", "\A\B\" all give "A\B"; the root
// itself gives "". False (with a reason) for another root key or an empty
// component ("A\\B").
bool NormalizeKey(const std::string &in, std::string &out, std::string &why);

bool KeyExists(const std::string &key);
// Reads one value; false when the key or the value is missing.
bool ReadValue(const std::string &key, const std::string &name, Value &out, std::string &why);
// Writes one value, creating the key path; false with a reason on failure.
bool WriteValue(const std::string &key, const Value &v, std::string &why);
bool CreateKey(const std::string &key, std::string &why);
bool DeleteValue(const std::string &key, const std::string &name, std::string &why);
bool DeleteKey(const std::string &key, std::string &why);
// Subkey names and values of a key; false when the key is missing.
bool ListKey(const std::string &key, std::vector<std::string> &subkeys,
             std::vector<Value> &values, std::string &why);
// The key and everything below it; false when the key is missing.
bool ReadTree(const std::string &key, KeyNode &out, std::string &why);

// Display form of a value's data ("text", number, items joined by " | ",
// hex bytes for other types).
std::string FormatData(const Value &v);
// Multi-string items of a type 7 value.
std::vector<std::string> MultiItems(const std::string &data);
const char *TypeName(unsigned type);
std::string StatusText(int rc);

}  // namespace tqtool
