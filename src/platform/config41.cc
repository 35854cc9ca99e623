// The products and components enabled in the firewall's product.conf.
#include <errno.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "platform/line_reader.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr size_t kLineSize = 256;  // 255 characters a line
// The list is built in an area of 536 bytes: at most 535 characters.
constexpr size_t kListMax = 535;

// A whole token of decimal digits (with an optional sign) whose value is
// not zero.
bool IsNonZeroNumber(const std::string &token) {
  const char *s = token.c_str();
  char *end = nullptr;
  errno = 0;
  long n = strtol(s, &end, 10);
  if (end == s || *end != '\0' || (*s != '-' && *s != '+' && (*s < '0' || *s > '9'))) return false;
  return n != 0 || errno == ERANGE;
}

// Name and value of a line: the name is the first token delimited by
// blank, "=", tab, CR or LF; one delimiter after it is consumed, then the
// value is the next token delimited by blank, tab, CR or LF (so "name=1"
// and "name 1" both give 1).
bool SplitLine(const char *line, std::string &name, std::string &value) {
  static const char kNameDelims[] = " =\t\r\n";
  static const char kValueDelims[] = " \t\r\n";
  const char *p = line + strspn(line, kNameDelims);
  size_t n = strcspn(p, kNameDelims);
  if (n == 0) return false;
  name.assign(p, n);
  p += n;
  if (*p == '\0') return false;
  ++p;
  p += strspn(p, kValueDelims);
  size_t v = strcspn(p, kValueDelims);
  if (v == 0) return false;
  value.assign(p, v);
  return true;
}

// Entries that would make the list longer than kListMax are left out
// whole, so the list never holds a cut name.
void AddEntry(std::string &list, const char *entry) {
  size_t need = strlen(entry) + (list.empty() ? 0 : 1);
  if (list.size() + need > kListMax) return;
  if (!list.empty()) list += ',';
  list += entry;
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI char *TQPROD_GetConfigFrom41(char mode) {
  const char *fwdir = getenv("FWDIR");
  if (fwdir == nullptr) return nullptr;
  std::string path = std::string(fwdir) + "/conf/product.conf";
  FILE *f = fopen(path.c_str(), "re");
  if (f == nullptr) return nullptr;

  std::string list, name, value;
  bool haveMrk = false, haveQln = false;
  char line[kLineSize];
  while (ReadBoundedLine(f, line, sizeof line)) {
    if (line[0] == '#' || !SplitLine(line, name, value) || !IsNonZeroNumber(value)) continue;
    if (mode == 'p') {
      if (!haveMrk && (name == "FWManagement" || name == "FireWall")) {
        AddEntry(list, "MRK");
        haveMrk = true;
      } else if (!haveQln && (name == "QLManagement" || name == "Quellin")) {
        AddEntry(list, "QLN");
        haveQln = true;
      }
    } else if (name == "FWManagement" || name == "FireWall" || name == "HighAvailability") {
      AddEntry(list, name.c_str());
    }
  }
  fclose(f);
  return list.empty() ? nullptr : strdup(list.c_str());
}

}  // extern "C"
