#include "output.h"

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

std::string KeyLabel(const std::string &key) { return key.empty() ? "HKEY_LOCAL_MACHINE" : key; }

}  // namespace tqtool
