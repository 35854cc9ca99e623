// tqprod: the command line over libtqprod50 and its registry.
//
// Exit codes: 0 success or true; 1 failure, not found or false; 2 usage
// error. Errors go to standard error; --json gives structured output.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli.h"
#include "tqprod50.h"

using namespace tqtool;

namespace {

// --registry and --ctx: where the registry lives and which virtual system's
// registry this run works in.
int SetUpRegistry(const Context &ctx) {
  if (!ctx.registry_dir.empty()) {
    setenv("TQ_REGISTRY_DIR", ctx.registry_dir.c_str(), 1);
    if (TqkResetGlobalEntries() != 0)
      return Error("--registry", std::string("cannot open the registry: ") + TqkRegGetLastErrorText());
  }
  if (ctx.ctx >= 0) {
    unsigned n = static_cast<unsigned>(ctx.ctx);
    if (tq_set_vs_env(n) != 0)
      return Error("--ctx", "context " + std::to_string(n) + " does not exist (see tqprod ctx list)");
    if (TqkResetGlobalEntries() != 0)
      return Error("--ctx", "cannot open the registry of context " + std::to_string(n) + ": " +
                                TqkRegGetLastErrorText());
    reset_reg_sic_cache();
  }
  return kOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"tqprod: inspect and change the product registry of the product family.\n"
               "Exit codes: 0 success or true, 1 failure, not found or false, 2 usage error."};
  app.require_subcommand(0, 1);
  app.fallthrough();  // global options are accepted after the command too
  Context ctx;
  CompleteAs(app.add_option("--registry", ctx.registry_dir, "Registry directory (instead of TQ_REGISTRY_DIR)"),
             Completes::kDirectory);
  app.add_option("--ctx", ctx.ctx, "Work in virtual-system context N")->check(CLI::NonNegativeNumber);
  app.add_flag("--json", ctx.json, "Structured output (JSON) on standard output");

  AddRegistryCommands(app, ctx);
  AddRegFileCommands(app, ctx);
  AddProductCommands(app, ctx);
  AddCallCommand(app, ctx);
  AddContextCommands(app, ctx);
  AddMaintenanceCommands(app, ctx);
  AddHistoryCommands(app, ctx);
  AddMediaCommands(app, ctx);
  AddDemoCommand(app, ctx);
  AddCompletionCommand(app, ctx);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    app.exit(e);
    return kUsage;
  }
  if (!ctx.action) return Error("", "no command given (see tqprod --help)", kUsage);
  int rc = SetUpRegistry(ctx);
  if (rc != kOk) return rc;
  // A registry directory that a write of this run had to create is
  // announced once: a mistyped --registry should not go unnoticed.
  const char *dir = getenv("TQ_REGISTRY_DIR");
  std::string where = dir && *dir ? dir : TQ_REGISTRY_DEFAULT_DIR;
  struct stat st;
  bool existed = stat(where.c_str(), &st) == 0;
  rc = ctx.action();
  if (!existed && stat(where.c_str(), &st) == 0)
    fprintf(stderr, "tqprod: created a new registry in %s\n", where.c_str());
  return rc;
}
