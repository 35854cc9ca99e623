// Shared plumbing of the tqprod commands: exit codes, error messages, the
// action a parsed subcommand leaves behind, and the stderr progress line.
#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tqtool {

// Exit codes, fixed for scripts: 0 success or true; 1 failure, not found or
// false; 2 usage error (bad command line or malformed input file).
enum Exit { kOk = 0, kFail = 1, kUsage = 2 };

struct Context {
  bool json = false;               // --json: structured output on stdout
  std::string registry_dir;        // --registry DIR
  long ctx = -1;                   // --ctx N (-1: stay in the current context)
  std::function<int()> action;     // set by the subcommand that was parsed
};

// Prints "tqprod <what>: <why>" on stderr and returns the exit code.
int Error(const std::string &what, const std::string &why, int code = kFail);

// Registers a subcommand whose body runs after global setup. The callback
// fires during parsing, so the body only captures; main() runs it later.
CLI::App *AddCommand(CLI::App &parent, Context &ctx, const std::string &name,
                     const std::string &help, std::function<int()> body);

// What the shell completion (tqprod completion) offers for an argument or
// an option's value. Choices of a CLI::IsMember check are offered without
// a mark; other arguments get none.
enum class Completes {
  kKey,         // a key path below HKEY_LOCAL_MACHINE: the subkeys as typed
  kProductKey,  // a key path relative to SOFTWARE\Tarquel
  kValueName,   // a value name of the key given as an earlier argument
  kFile,
  kDirectory,
};
CLI::Option *CompleteAs(CLI::Option *opt, Completes what);
// Fixed words, e.g. function names.
CLI::Option *CompleteAs(CLI::Option *opt, const std::vector<std::string> &words);

// Progress of long work on standard error: "label done/total (rate/s)",
// only when standard error is a terminal, not with --json, and only once the
// work has taken a second (TQ_PROGRESS_AFTER_MS).
class Progress {
 public:
  explicit Progress(const std::string &label, bool quiet = false);
  ~Progress();
  void Step(unsigned done, unsigned total);

 private:
  std::string label_;
  bool tty_;
  bool shown_ = false;
  std::chrono::steady_clock::time_point start_;
  long after_ms_;
};

// Runs work (one library call) while a progress line shows done() of
// total() keys. total() runs first, and only when progress can be shown;
// done() must not call into the registry (work may hold a batch).
int WithProgress(const std::string &label, bool quiet, const std::function<unsigned()> &total,
                 const std::function<unsigned()> &done, const std::function<int()> &work);

// Command families; each adds its subcommands to the application.
void AddRegistryCommands(CLI::App &app, Context &ctx);
void AddRegFileCommands(CLI::App &app, Context &ctx);
void AddProductCommands(CLI::App &app, Context &ctx);
void AddCallCommand(CLI::App &app, Context &ctx);
void AddContextCommands(CLI::App &app, Context &ctx);
void AddMaintenanceCommands(CLI::App &app, Context &ctx);
void AddHistoryCommands(CLI::App &app, Context &ctx);
void AddMediaCommands(CLI::App &app, Context &ctx);
void AddDemoCommand(CLI::App &app, Context &ctx);
// `completion SHELL`, whose script describes the whole command line, and the
// hidden helper the script calls.
void AddCompletionCommand(CLI::App &app, Context &ctx);

}  // namespace tqtool
