// Display helpers shared by the commands: registry values as text lines and
// as JSON members.
#pragma once

#include <string>

#include "json.h"
#include "registry_io.h"

namespace tqtool {

// {"name":..,"type":"number","data":5}; strings as text, multi-strings as
// arrays, other types as hex text with their numeric "code".
void ValueJson(Json &j, const Value &v);
// "name (type) = data"; the empty name shows as "(default)".
std::string ValueLine(const Value &v);
// Text for a terminal: control characters shown as escapes ("\r", "\x1b"),
// so that registry or media text cannot move the cursor or rewrite lines.
std::string Shown(const std::string &text);
// A key path for display: "HKEY_LOCAL_MACHINE" for the root.
std::string KeyLabel(const std::string &key);

}  // namespace tqtool
