#include "output.h"

#include <stdio.h>

#include <string.h>

namespace tqtool {

void ValueJson(Json &j, const Value &v) {
  j.BeginObject().Field("name", v.name).Field("type", TypeName(v.type));
  j.Key("data");
  if (v.type == TQREG_DWORD && v.data.size() == 4) {
    int32_t n;
    memcpy(&n, v.data.data(), 4);
    j.Num(n);
  } else if (v.type == TQREG_MULTI_SZ) {
    j.StrArray(MultiItems(v.data));
  } else {
    j.Str(FormatData(v));
  }
  if (std::string(TypeName(v.type)) == "binary") j.Field("code", v.type);
  j.EndObject();
}

std::string ValueLine(const Value &v) {
  return (v.name.empty() ? "(default)" : v.name) + " (" + TypeName(v.type) + ") = " + FormatData(v);
}

std::string Shown(const std::string &text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x20 && c != 0x7f) {
      out += static_cast<char>(c);
      continue;
    }
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: {
        char buf[8];
        snprintf(buf, sizeof buf, "\\x%02x", c);
        out += buf;
      }
    }
  }
  return out;
}

std::string KeyLabel(const std::string &key) { return key.empty() ? "HKEY_LOCAL_MACHINE" : key; }

}  // namespace tqtool
