// The install-media trace log: /opt/TQInstLog/cdInfo.elg, one record per
// Debug call, opened and closed for every record.
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "cdinfo/cdinfo_internal.h"
#include "sysroot.h"

namespace tq {
namespace cdinfo {
namespace {

constexpr size_t kMessageArea = 1024;  // message part incl. " \n" and NUL
constexpr const char kTraceDir[] = "/opt/TQInstLog";

// Opens the trace file for appending. A symbolic link planted at its name
// is not followed (the log is written by root), and a new file is created
// writable by its owner only.
FILE *OpenTraceFile(const char *path) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
  if (fd < 0) return nullptr;
  FILE *f = fdopen(fd, "a");
  if (f == nullptr) close(fd);
  return f;
}

}  // namespace

char *CreateElgFilePath(const char *file_name) {
  if (file_name == nullptr) return nullptr;
  std::string dir = SysPath(kTraceDir);
  if (!tqIsDir(dir.c_str()) && tqDirCreate(dir.c_str()) != 1) return nullptr;
  size_t size = dir.size() + strlen(file_name) + 2;
  char *out = static_cast<char *>(malloc(size));
  if (out == nullptr) return nullptr;
  snprintf(out, size, "%s/%s", dir.c_str(), file_name);
  return out;
}

void WriteRecord(const char *first, va_list ap) {
  char *path = CreateElgFilePath("cdInfo.elg");
  // Consulted for compatibility; no level changes what is written.
  (void)getenv("CDINFO_DEBUG_LEVEL");
  FILE *f = path ? OpenTraceFile(path) : nullptr;
  if (f == nullptr) {
    printf("The file 'ElgFilePath' was not opened (%s)\n", path ? path : "");
    free(path);
    return;
  }
  time_t now = time(nullptr);
  char when[64];
  if (ctime_r(&now, when) == nullptr) snprintf(when, sizeof when, "%s", "?");
  when[strcspn(when, "\n")] = '\0';
  fprintf(f, "[ %s ]\t\t", when);
  fflush(f);

  // Message part: " s1 s2 ... \n", cut so that it never exceeds the area.
  char msg[kMessageArea];
  const size_t limit = kMessageArea - 3;  // room for " \n" and the NUL
  size_t len = 0;
  for (const char *s = first; s != nullptr; s = va_arg(ap, const char *)) {
    if (len < limit) msg[len++] = ' ';
    size_t n = strlen(s);
    if (n > limit - len) n = limit - len;
    memcpy(msg + len, s, n);
    len += n;
  }
  msg[len++] = ' ';
  msg[len++] = '\n';
  fwrite(msg, 1, len, f);
  fclose(f);
  free(path);
}

void TraceF(const char *format, ...) {
  char buf[kPathSize];
  va_list ap;
  va_start(ap, format);
  vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  ::Debug(buf, static_cast<const char *>(nullptr));
}

void Facility(const char *text) { tderrorFunc("CDINFO", 4, 0, text); }

}  // namespace cdinfo
}  // namespace tq

extern "C" TQAPI char *CDINFO_CreateElgFilePath(const char *file_name) {
  return tq::cdinfo::CreateElgFilePath(file_name);
}

extern "C" TQAPI void Debug(const char *first, ...) {
  va_list ap;
  va_start(ap, first);
  tq::cdinfo::WriteRecord(first, ap);
  va_end(ap);
}
