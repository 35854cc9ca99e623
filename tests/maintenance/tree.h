// A registry subtree as text, for comparing whole trees at once: a line
// "<path>:" per key (relative, "" for the top), depth-first in the service's
// order, then a line per value: "  name=text" for a string, "  name#number"
// for a number, "  name@type:bytes" for anything else.
#pragma once

#include <string>

#include "raw.h"

inline std::string Tree(const std::string &key, const std::string &rel = "") {
  std::string out = rel + ":\n";
  for (const std::string &name : tqtest::ValueNames(key)) {
    tqtest::RawValue v = tqtest::GetRaw(key, name);
    out += "  " + name;
    if (v.type == TQREG_SZ) out += "=" + v.data.substr(0, v.data.find('\0')) + "\n";
    else if (v.type == TQREG_DWORD) out += "#" + std::to_string(tqtest::GetNum(key, name)) + "\n";
    else out += "@" + std::to_string(v.type) + ":" + v.data + "\n";
  }
  for (const std::string &sub : tqtest::SubKeys(key))
    out += Tree(key + "\\" + sub, rel.empty() ? sub : rel + "\\" + sub);
  return out;
}
