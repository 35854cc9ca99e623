#include "tool_run.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

extern char **environ;

namespace tooltest {

Run Tool(const std::vector<std::string> &args, const std::string &stdin_text) {
  Run r;
  const char *tool = getenv("TQ_TOOL");
  if (!tool || !*tool) {
    ADD_FAILURE() << "TQ_TOOL is not set";
    return r;
  }
  std::string dir = tqtest::MakeTempDir("run");
  std::string in = dir + "/in", out = dir + "/out", err = dir + "/err";
  tqtest::WriteFile(in, stdin_text);
  std::vector<std::string> argv;
  if (const char *emu = getenv("TQ_TEST_EMULATOR")) {
    std::istringstream words(emu);
    for (std::string w; words >> w;) argv.push_back(w);
  }
  argv.push_back(tool);
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char *> cargv;
  for (std::string &a : argv) cargv.push_back(&a[0]);
  cargv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, in.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&fa, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid;
  int rc = posix_spawnp(&pid, cargv[0], &fa, nullptr, cargv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) {
    ADD_FAILURE() << "cannot start " << cargv[0];
  } else {
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) r.code = WEXITSTATUS(status);
  }
  r.out = tqtest::ReadFile(out);
  r.err = tqtest::ReadFile(err);
  tqtest::RemoveTree(dir);
  return r;
}

nlohmann::json ParseJson(const Run &r) {
  try {
    return nlohmann::json::parse(r.out);
  } catch (const std::exception &e) {
    ADD_FAILURE() << "not JSON: " << e.what() << "\n" << r.out;
    return nlohmann::json();
  }
}

void ToolTest::SetUp() {
  RegistryTest::SetUp();
  scratch_ = tqtest::MakeTempDir("tool");
}

std::string ToolTest::Export(const char *format) {
  tooltest::Run r = Tool({"export", "SOFTWARE\\Tarquel", "-", "--format", format});
  EXPECT_EQ(0, r.code) << r.err;
  return r.out;
}

void ToolTest::FreshRegistry() {
  setenv("TQ_REGISTRY_DIR", tqtest::MakeTempDir("reg2").c_str(), 1);
  TqkResetGlobalEntries();
}

tooltest::Run ToolTest::ImportText(const std::string &text) {
  tqtest::WriteFile(Path("in.reg"), text);
  return Tool({"import", Path("in.reg")});
}

void ToolTest::TearDown() {
  tqtest::RemoveTree(scratch_);
  RegistryTest::TearDown();
}

}  // namespace tooltest
