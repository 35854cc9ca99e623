// Direct access to the registry service for the tool: absolute key paths,
// typed values, formatting for display.
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

// Reads one value; false when the key or the value is missing.
bool ReadValue(const std::string &key, const std::string &name, Value &out, std::string &why);
// Writes one value, creating the key path; false with a reason on failure.
bool WriteValue(const std::string &key, const Value &v, std::string &why);
// Subkey names and values of a key; false when the key is missing.
bool ListKey(const std::string &key, std::vector<std::string> &subkeys,
             std::vector<Value> &values, std::string &why);
// Display form of a value's data ("text", number, items joined by " | ").
std::string FormatData(const Value &v);
const char *TypeName(unsigned type);

}  // namespace tqtool
