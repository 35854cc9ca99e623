// Machine identity stand-ins: the operating-system name from the release
// file of the hardened operating system, and path recognition.
#include <stdio.h>
#include <string.h>

#include <string>

#include "common/sysroot.h"
#include "tqplatform.h"

namespace tq {
namespace identity {
namespace {

constexpr size_t kNameMax = 128;
// Lines longer than this are cut; the release file is a few short lines.
constexpr size_t kLineMax = 512;

std::string Trim(const std::string &s) {
  const char *ws = " \t\r\n";
  size_t b = s.find_first_not_of(ws);
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(ws);
  return s.substr(b, e - b + 1);
}

std::string Unquote(std::string s) {
  if (s.size() >= 2 && (s[0] == '"' || s[0] == '\'') && s.back() == s[0])
    s = s.substr(1, s.size() - 2);
  return s;
}

// Reads one line (any length) keeping at most kLineMax characters of it.
bool ReadLine(FILE *f, std::string &line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (line.size() < kLineMax) line += static_cast<char>(c);
  }
  return any;
}

// The name the release file gives, or empty.
std::string ReleaseName(FILE *f) {
  std::string line, first;
  while (ReadLine(f, line)) {
    // Embedded NUL bytes end the text of a line.
    line.resize(strlen(line.c_str()));
    std::string t = Trim(line);
    if (t.compare(0, 5, "NAME=") == 0) return Trim(Unquote(Trim(t.substr(5))));
    if (first.empty() && !t.empty()) first = t;
  }
  size_t rel = first.find(" release");
  if (rel != std::string::npos) first = Trim(first.substr(0, rel));
  return first;
}

}  // namespace
}  // namespace identity
}  // namespace tq

extern "C" {

TQAPI const char *TqOsName(void) {
  static char name[tq::identity::kNameMax];
  FILE *f = fopen(tq::SysPath("/etc/tq-release").c_str(), "re");
  if (f == nullptr) return nullptr;
  std::string n = tq::identity::ReleaseName(f);
  fclose(f);
  if (n.empty()) return nullptr;
  snprintf(name, sizeof name, "%s", n.c_str());
  return name;
}

TQAPI int is_path(const char *name) {
  if (name == nullptr) return 0;
  return strchr(name, '/') != nullptr || strchr(name, '\\') != nullptr;
}

}  // extern "C"
