// The platform's file utilities. Paths may use backslashes as separators
// (the family's code forms some paths the Windows way); they are turned
// into slashes before use.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "common/dirs.h"
#include "files/native_path.h"

#include "tqplatform.h"

namespace tq {
namespace files {
namespace {

std::string Native(const char *path) { return platform::NativePath(path); }

// Last path component, ignoring trailing separators ("a/b/" gives "b").
std::string BaseName(const std::string &p) {
  size_t end = p.find_last_not_of('/');
  if (end == std::string::npos) return std::string();
  size_t start = p.find_last_of('/', end);
  start = (start == std::string::npos) ? 0 : start + 1;
  return p.substr(start, end - start + 1);
}

std::string Join(const std::string &dir, const std::string &name) {
  if (!dir.empty() && dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

bool IsDirectory(const std::string &p) {
  struct stat st;
  return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Copies one regular file; never writes through a link at the target.
bool CopyRegular(const std::string &src, const std::string &dst, bool overwrite) {
  int in = open(src.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0) return false;
  struct stat st;
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return false;
  }
  struct stat dt;
  if (lstat(dst.c_str(), &dt) == 0) {
    if (!overwrite || S_ISDIR(dt.st_mode)) {
      close(in);
      return false;
    }
    if (unlink(dst.c_str()) != 0) {
      close(in);
      return false;
    }
  }
  int out = open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                 st.st_mode & 0755);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    for (ssize_t off = 0; off < n;) {
      ssize_t w = write(out, buf + off, static_cast<size_t>(n - off));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) {
        ok = false;
        break;
      }
      off += w;
    }
    if (!ok) break;
  }
  close(in);
  if (close(out) != 0) ok = false;
  return ok;
}

bool CopyLink(const std::string &src, const std::string &dst, bool overwrite) {
  char target[4096];
  ssize_t n = readlink(src.c_str(), target, sizeof target - 1);
  if (n < 0) return false;
  target[n] = '\0';
  struct stat dt;
  if (lstat(dst.c_str(), &dt) == 0) {
    if (!overwrite || S_ISDIR(dt.st_mode)) return false;
    if (unlink(dst.c_str()) != 0) return false;
  }
  return symlink(target, dst.c_str()) == 0;
}

// Copies src (file, link or directory tree) to exactly dst.
bool CopyTree(const std::string &src, const std::string &dst, bool overwrite, int depth) {
  if (depth > 256) return false;
  struct stat st;
  if (lstat(src.c_str(), &st) != 0) return false;
  if (S_ISLNK(st.st_mode)) return CopyLink(src, dst, overwrite);
  if (S_ISREG(st.st_mode)) {
    struct stat dt;
    if (!overwrite && lstat(dst.c_str(), &dt) == 0) return true;  // kept as is
    return CopyRegular(src, dst, overwrite);
  }
  if (!S_ISDIR(st.st_mode)) return false;  // devices, fifos, sockets: refused
  struct stat dt;
  if (lstat(dst.c_str(), &dt) == 0) {
    if (!S_ISDIR(dt.st_mode)) return false;
  } else if (mkdir(dst.c_str(), 0755) != 0) {
    return false;
  }
  DIR *d = opendir(src.c_str());
  if (d == nullptr) return false;
  bool ok = true;
  while (struct dirent *e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    if (!CopyTree(Join(src, e->d_name), Join(dst, e->d_name), overwrite, depth + 1)) ok = false;
  }
  closedir(d);
  return ok;
}

}  // namespace
}  // namespace files
}  // namespace tq

struct TqFsDir {
  DIR *dir;
};

using namespace tq::files;

extern "C" TQAPI int tqFileExist(const char *path) {
  if (path == nullptr || *path == '\0') return 0;
  struct stat st;
  return stat(Native(path).c_str(), &st) == 0 ? 1 : 0;
}

extern "C" TQAPI int tqIsDir(const char *path) {
  if (path == nullptr || *path == '\0') return 0;
  return IsDirectory(Native(path)) ? 1 : 0;
}

extern "C" TQAPI int tqIsDirEx(const char *path, int /*flags*/) { return tqIsDir(path); }

extern "C" TQAPI int tqDirCreate(const char *path) {
  if (path == nullptr || *path == '\0') return 0;
  return tq::MakeDirs(Native(path)) ? 1 : 0;
}

extern "C" TQAPI int tqDirCopy(const char *src, const char *dst, int overwrite) {
  if (src == nullptr || dst == nullptr || *src == '\0' || *dst == '\0') return 0;
  std::string s = Native(src), d = Native(dst);
  std::string base = BaseName(s);
  if (base.empty() || base == "." || base == "..") return 0;
  if (!tq::MakeDirs(d)) return 0;
  return CopyTree(s, Join(d, base), overwrite != 0, 0) ? 1 : 0;
}

extern "C" TQAPI int tqFileCopy(const char *src, const char *dst, int overwrite) {
  if (src == nullptr || dst == nullptr || *src == '\0' || *dst == '\0') return 0;
  std::string s = Native(src), d = Native(dst);
  if (IsDirectory(d)) {
    std::string base = BaseName(s);
    if (base.empty()) return 0;
    d = Join(d, base);
  }
  return CopyRegular(s, d, overwrite != 0) ? 1 : 0;
}

extern "C" TQAPI int tqFileRemove(const char *path) {
  if (path == nullptr || *path == '\0') return 0;
  std::string p = Native(path);
  struct stat st;
  if (lstat(p.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 0;
  return unlink(p.c_str()) == 0 ? 1 : 0;
}

extern "C" TQAPI TqFsDir *FsDirOpen(const char *path) {
  if (path == nullptr || *path == '\0') return nullptr;
  DIR *d = opendir(Native(path).c_str());
  if (d == nullptr) return nullptr;
  TqFsDir *h = static_cast<TqFsDir *>(malloc(sizeof(TqFsDir)));
  if (h == nullptr) {
    closedir(d);
    return nullptr;
  }
  h->dir = d;
  return h;
}

extern "C" TQAPI const char *FsDirRead(TqFsDir *dir) {
  if (dir == nullptr) return nullptr;
  struct dirent *e = readdir(dir->dir);
  return e ? e->d_name : nullptr;
}

extern "C" TQAPI int FsDirClose(TqFsDir *dir) {
  if (dir == nullptr) return 0;
  closedir(dir->dir);
  free(dir);
  return 0;
}
