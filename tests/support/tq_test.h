// Test support: every test runs against its own temporary registry
// directory and system root, so tests never touch the machine's files or
// depend on each other's order.
#pragma once

#include <gtest/gtest.h>

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "tqprod50.h"

namespace tqtest {

using Strings = std::vector<std::string>;
using Ints = std::vector<int>;  // results of calls, made in order

// The text of s, "<null>" for NULL; Take also frees s.
std::string Str(const char *s);
std::string Take(char *s);
// Creates a fresh directory under $TMPDIR (or /tmp) and returns its path.
std::string MakeTempDir(const char *tag);
// Removes a directory tree (best effort).
void RemoveTree(const std::string &path);
// Writes text to a file, creating parent directories.
void WriteFile(const std::string &path, const std::string &text);
// Reads a whole file; empty when missing.
std::string ReadFile(const std::string &path);
// Number of open file descriptors of this process.
int OpenFdCount();
// Runs body in a child process (its result is the exit status); Wait gives
// that status, or 128 + the signal that ended the child.
pid_t Spawn(const std::function<int()> &body);
int Wait(pid_t pid);

// Fixture: sets TQ_REGISTRY_DIR and TQ_SYSROOT to fresh directories and
// rebinds the registry service to them.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string regdir_;
  std::string sysroot_;
};

}  // namespace tqtest
