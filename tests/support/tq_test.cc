#include "tq_test.h"

#include <dirent.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace tqtest {

std::string Str(const char *s) { return s ? s : "<null>"; }

std::string Take(char *s) {
  std::string text = Str(s);
  free(s);
  return text;
}

std::string MakeTempDir(const char *tag) {
  const char *base = getenv("TMPDIR");
  std::string dir = std::string(base && *base ? base : "/tmp") + "/tq-" + tag + "-XXXXXX";
  if (mkdtemp(&dir[0]) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << dir;
  return dir;
}

static int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
  return remove(path);
}

void RemoveTree(const std::string &path) {
  if (!path.empty()) nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

void WriteFile(const std::string &path, const std::string &text) {
  for (size_t pos = path.find('/', 1); pos != std::string::npos; pos = path.find('/', pos + 1))
    mkdir(path.substr(0, pos).c_str(), 0755);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

int OpenFdCount() {
  int n = 0;
  DIR *d = opendir("/proc/self/fd");
  if (!d) return -1;
  while (readdir(d) != nullptr) ++n;
  closedir(d);
  return n - 3;  // ".", ".." and the directory stream itself
}

pid_t Spawn(const std::function<int()> &body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  return pid;
}

int Wait(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void RegistryTest::SetUp() {
  regdir_ = MakeTempDir("reg");
  sysroot_ = MakeTempDir("root");
  setenv("TQ_REGISTRY_DIR", regdir_.c_str(), 1);
  setenv("TQ_SYSROOT", sysroot_.c_str(), 1);
  unsetenv("OVER_WRITE_CURRENT_VER");
  ASSERT_EQ(0, TqkResetGlobalEntries());
  // An empty batch creates and opens the registry's files now, so that the
  // descriptor counts of the tests include them.
  ASSERT_EQ(0, TqkRegBeginBatch());
  ASSERT_EQ(0, TqkRegEndBatch(1));
}

void RegistryTest::TearDown() {
  unsetenv("OVER_WRITE_CURRENT_VER");
  RemoveTree(regdir_);
  RemoveTree(sysroot_);
}

}  // namespace tqtest
