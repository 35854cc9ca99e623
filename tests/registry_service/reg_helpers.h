// Small helpers over the registry service for its own tests.
#pragma once

#include <gtest/gtest.h>

#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <string>
#include <vector>

#include "tq_test.h"
#include "tqplatform.h"

namespace regtest {

inline TQHKEY Root() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }

// Creates path under the root and returns an open handle (0 on failure).
inline TQHKEY Create(const std::string &path, TQHKEY parent = Root()) {
  TQHKEY h = 0;
  EXPECT_EQ(TQREG_OK, TqkRegCreateKey(parent, path.c_str(), &h)) << path;
  return h;
}

inline int Open(const std::string &path, TQHKEY *h, TQHKEY parent = Root()) {
  return TqkRegOpenKeyEx(parent, path.c_str(), 0, 0, h);
}

inline bool Exists(const std::string &path) {
  TQHKEY h = 0;
  if (Open(path, &h) != TQREG_OK) return false;
  TqkRegCloseKey(h);
  return true;
}

inline int SetStr(TQHKEY h, const std::string &name, const std::string &text) {
  return TqkRegSetValueEx(h, name.c_str(), 0, TQREG_SZ, text.c_str(),
                          static_cast<unsigned>(text.size() + 1));
}

inline int SetNum(TQHKEY h, const std::string &name, uint32_t n) {
  return TqkRegSetValueEx(h, name.c_str(), 0, TQREG_DWORD, &n, 4);
}

// Raw bytes and type of a value; false when it cannot be read.
inline bool Query(TQHKEY h, const std::string &name, std::string *data, unsigned *type = nullptr) {
  unsigned size = 0, t = 0;
  if (TqkRegQueryValueEx(h, name.c_str(), nullptr, &t, nullptr, &size) != TQREG_OK) return false;
  data->assign(size, '\0');
  if (TqkRegQueryValueEx(h, name.c_str(), nullptr, &t, size ? &(*data)[0] : nullptr, &size) !=
      TQREG_OK)
    return false;
  data->resize(size);
  if (type) *type = t;
  return true;
}

// Every subkey name of h, in index order.
inline std::vector<std::string> SubKeys(TQHKEY h) {
  std::vector<std::string> out;
  char buf[300];
  for (unsigned i = 0; TqkRegEnumKey(h, i, buf, sizeof buf) == TQREG_OK; ++i) out.push_back(buf);
  return out;
}

// Every value name of h, in index order.
inline std::vector<std::string> ValueNames(TQHKEY h) {
  std::vector<std::string> out;
  char buf[300];
  for (unsigned i = 0;; ++i) {
    unsigned n = sizeof buf;
    if (TqkRegEnumValue(h, i, buf, &n, nullptr, nullptr, nullptr, nullptr) != TQREG_OK) break;
    out.push_back(std::string(buf, n));
  }
  return out;
}

using Strings = std::vector<std::string>;

// A second process started before the test warms its caches, so that what
// it does reaches this process only through the database. Step(n) makes it
// run step(n) and returns whether that succeeded.
class Peer {
 public:
  explicit Peer(std::function<bool(int)> step) {
    int down[2], up[2];
    if (pipe(down) != 0 || pipe(up) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(down[1]);
      close(up[0]);
      unsigned char n;
      while (read(down[0], &n, 1) == 1) {
        unsigned char ok = step(n) ? 1 : 0;
        if (write(up[1], &ok, 1) != 1) break;
      }
      _exit(0);
    }
    close(down[0]);
    close(up[1]);
    to_ = down[1];
    from_ = up[0];
  }
  ~Peer() {
    if (pid_ > 0) {
      close(to_);
      close(from_);
      int status;
      waitpid(pid_, &status, 0);
    }
  }
  bool Step(int n) {
    unsigned char b = static_cast<unsigned char>(n), ok = 0;
    return pid_ > 0 && write(to_, &b, 1) == 1 && read(from_, &ok, 1) == 1 && ok == 1;
  }

 private:
  pid_t pid_ = -1;
  int to_ = -1, from_ = -1;
};

}  // namespace regtest
