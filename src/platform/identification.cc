// Platform identification from the operating system's files: version names
// and the Pro edition of the hardened operating system, Crossbeam chassis,
// diskless machines.
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "sysroot.h"
#include "platform/line_reader.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kCdVer[] = "/etc/cd.ver";
constexpr const char kCdVerMod[] = "/etc/cd.ver.mod";
constexpr const char kSetup[] = "/etc/sysconfig/SETUP";
constexpr const char kTqRelease[] = "/etc/tq-release";
constexpr const char kCrossbeamRelease[] = "/etc/crossbeam-release";

// Result buffers of TQPROD_ZudedazVer: 4 + 32 characters and 1 + 32.
constexpr size_t kMajorSize = 37;
constexpr size_t kMinorSize = 34;
constexpr size_t kCdVerLine = 256;     // 255 characters
constexpr size_t kDisklessLine = 1023; // 1,022 characters
constexpr size_t kFwkernLine = 80;     // 79 characters

constexpr const char kAiRelease[] = "VX With Application Intelligence";
constexpr const char kDiskless[] = "DISKLESS=1";
constexpr const char kBxpro[] = "BXPRO=";

// Value part of a "key=value" line: up to the first CR or LF, without any
// single quote.
std::string CdVerValue(const char *text) {
  std::string v;
  for (const char *p = text; *p != '\0' && *p != '\n' && *p != '\r'; ++p)
    if (*p != '\'') v += *p;
  return v;
}

// 1 when a line of the file begins with "DISKLESS=1".
int HasDisklessLine(const char *fixedPath) {
  FILE *f = fopen(SysPath(fixedPath).c_str(), "re");
  if (f == nullptr) return 0;
  char line[kDisklessLine];
  int found = 0;
  while (!found && ReadBoundedLine(f, line, sizeof line))
    found = strncmp(line, kDiskless, sizeof kDiskless - 1) == 0;
  fclose(f);
  return found;
}

// "%d" conversion of the start of text (leading white space and a sign
// allowed), clamped to int; false when there are no digits.
bool ScanInt(const char *text, int *out) {
  char *end = nullptr;
  errno = 0;
  long n = strtol(text, &end, 10);
  if (end == text) return false;
  if (n > INT_MAX || (errno == ERANGE && n > 0)) n = INT_MAX;
  if (n < INT_MIN || (errno == ERANGE && n < 0)) n = INT_MIN;
  *out = static_cast<int>(n);
  return true;
}

// Copies the lines of in to out, leaving out empty lines and "BXPRO="
// lines; lines of any length are streamed. A last line without its newline
// gets one, so that the line appended after it stays a line of its own.
bool CopyWithoutBxpro(FILE *in, FILE *out) {
  const size_t prefix = sizeof kBxpro - 1;
  for (;;) {
    int c = getc(in);
    if (c == EOF) break;
    if (c == '\n') continue;  // empty line
    std::string head(1, static_cast<char>(c));
    while (head.size() < prefix && (c = getc(in)) != EOF && c != '\n') head += static_cast<char>(c);
    bool ended = head.size() < prefix;  // line (or file) ended within the prefix
    if (head.compare(0, prefix, kBxpro) == 0) {
      while ((c = getc(in)) != EOF && c != '\n') {
      }
      continue;
    }
    if (fwrite(head.data(), 1, head.size(), out) != head.size()) return false;
    if (!ended) {
      while ((c = getc(in)) != EOF && c != '\n')
        if (putc(c, out) == EOF) return false;
    }
    if (putc('\n', out) == EOF) return false;
    if (c == EOF) break;
  }
  return !ferror(in);
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_ZudedazVer(char *major, char *minor) {
  char maj[kMajorSize], min[kMinorSize];
  snprintf(maj, sizeof maj, "%s", "VXFP2");
  snprintf(min, sizeof min, "%s", "E1");
  int result = 0;
  if (FILE *f = fopen(SysPath(kCdVer).c_str(), "re")) {
    char line[kCdVerLine];
    while (ReadBoundedLine(f, line, sizeof line)) {
      char *eq = strchr(line, '=');
      if (eq == nullptr) continue;
      *eq = '\0';
      std::string value = CdVerValue(eq + 1);
      if (value.empty()) continue;
      const char *v = value.c_str();
      if (strcmp(line, "CD_RELEASE") == 0) {
        if (value == kAiRelease)
          snprintf(maj, sizeof maj, "%s", "VX_AI");
        else
          snprintf(maj, sizeof maj, "VXFP%.32s", v);
      } else if (strcmp(line, "CD_EDITION") == 0) {
        snprintf(min, sizeof min, "E%.32s", v);
      } else if (strcmp(line, "DW_Major") == 0) {
        snprintf(maj, sizeof maj, "%.32s", v);
      } else if (strcmp(line, "DW_Minor") == 0) {
        snprintf(min, sizeof min, "%.32s", v);
      }
    }
    fclose(f);
    result = 1;
  }
  if (major != nullptr) memcpy(major, maj, strlen(maj) + 1);
  if (minor != nullptr) memcpy(minor, min, strlen(min) + 1);
  return result;
}

// The new file is written completely and synced before it replaces the old
// one, so that a crash leaves either the old or the new file, never a part.
TQAPI int TQPROD_SetZudedazPro(int pro) {
  const std::string path = SysPath(kCdVer), tmp = SysPath(kCdVerMod);
  FILE *in = fopen(path.c_str(), "re");
  if (in == nullptr) return -1;
  struct stat st;
  if (fstat(fileno(in), &st) != 0) {
    fclose(in);
    return -1;
  }
  const mode_t mode = st.st_mode & 07777;
  // O_NOFOLLOW: a planted symbolic link is never written through.
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    fclose(in);
    return -1;
  }
  FILE *out = fdopen(fd, "w");
  if (out == nullptr) {
    close(fd);
    unlink(tmp.c_str());
    fclose(in);
    return -1;
  }
  // Same permissions (and, where allowed, owner) as the original; the
  // umask does not apply.
  bool ok = fchmod(fd, mode) == 0;
  if (fchown(fd, st.st_uid, st.st_gid) != 0) {
    // Only the owner's own files can keep their owner; not an error.
  }
  ok = ok && CopyWithoutBxpro(in, out);
  ok = ok && fprintf(out, "BXPRO=%s\n", pro ? "1" : "0") > 0;
  ok = ok && fflush(out) == 0 && fsync(fd) == 0;
  ok = (fclose(out) == 0) && ok;
  fclose(in);
  if (!ok) {
    unlink(tmp.c_str());
    return -1;
  }
  if (rename(tmp.c_str(), path.c_str()) == 0) {
    // Make the rename itself durable.
    std::string dir = path.substr(0, path.rfind('/') + 1);
    int dfd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
      fsync(dfd);
      close(dfd);
    }
  }
  return 0;
}

TQAPI int TQPROD_IsZudedaz(void) { return tqFileExist(SysPath(kTqRelease).c_str()); }

TQAPI int TQPROD_IsCrossBeamPlatform(void) {
  return tqFileExist(SysPath(kCrossbeamRelease).c_str());
}

TQAPI int TQPROD_IsZudedazPro(void) {
  if (!TQPROD_IsZudedaz()) return 0;
  const char *name = TqOsName();
  return (name != nullptr && strcmp(name, "Zudedaz Pro") == 0) ? 1 : 0;
}

TQAPI int TQPROD_IsCrossbeamX(void) {
  const char *fwdir = getenv("FWDIR");
  if (fwdir == nullptr) return 0;
  std::string path = std::string(fwdir) + "/boot/modules/fwkern.conf";
  FILE *f = fopen(path.c_str(), "re");
  if (f == nullptr) return 0;
  static const char kKey[] = "fw_is_running_on_cbs=";
  char line[kFwkernLine];
  int result = 0;
  while (ReadBoundedLine(f, line, sizeof line)) {
    int v;
    if (strncmp(line, kKey, sizeof kKey - 1) == 0 && ScanInt(line + sizeof kKey - 1, &v))
      result = v;
  }
  fclose(f);
  return result;
}

TQAPI int TQPROD_IsDiskless(void) { return HasDisklessLine(kSetup); }
TQAPI int TQPROD_IsPureDiskless(void) { return HasDisklessLine(kCdVer); }

}  // extern "C"
