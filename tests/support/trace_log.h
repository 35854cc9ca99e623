// The install-media trace log (<sysroot>/opt/TQInstLog/cdInfo.elg) as a list
// of records: each record's message part, without the time prefix, the
// leading blank and the closing " \n". Tests compare whole lists, so a
// dropped, added or reworded record fails.
#pragma once

#include <string>
#include <vector>

namespace tqtest {

std::string TraceLogPath(const std::string &sysroot);
// Records that start with one of the prefixes, in order (an empty list
// keeps every record).
std::vector<std::string> TraceRecords(const std::string &sysroot,
                                      const std::vector<std::string> &prefixes = {});
// Empties the trace log.
void ClearTraceLog(const std::string &sysroot);
// Lines of a text, newline removed.
std::vector<std::string> Lines(const std::string &text);

}  // namespace tqtest
