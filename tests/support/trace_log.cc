#include "trace_log.h"

#include <unistd.h>

#include "tq_test.h"

namespace tqtest {

std::string TraceLogPath(const std::string &sysroot) {
  return sysroot + "/opt/TQInstLog/cdInfo.elg";
}

std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

std::vector<std::string> TraceRecords(const std::string &sysroot,
                                      const std::vector<std::string> &prefixes) {
  std::vector<std::string> out;
  for (std::string line : Lines(ReadFile(TraceLogPath(sysroot)))) {
    // "[ <ctime> ]\t\t <strings> " : keep the strings.
    size_t tab = line.find("]\t\t ");
    if (tab != std::string::npos) line = line.substr(tab + 4);
    if (!line.empty() && line.back() == ' ') line.pop_back();
    bool keep = prefixes.empty();
    for (const auto &p : prefixes) keep = keep || line.compare(0, p.size(), p) == 0;
    if (keep) out.push_back(line);
  }
  return out;
}

void ClearTraceLog(const std::string &sysroot) {
  if (truncate(TraceLogPath(sysroot).c_str(), 0) != 0) return;  // no log: nothing to clear
}

}  // namespace tqtest
