// Virtual-system contexts: ctx list, ctx add, ctx rm (the platform's
// context database beside the registry files).
#include <stdio.h>

#include <memory>

#include "cli.h"
#include "json.h"
#include "tqprod50.h"

namespace tqtool {
namespace {

struct Args {
  long id = -1;
  bool bridge = false, junction = false;
  unsigned instances6 = 0;
};

int List(const Context &ctx) {
  if (ctxdb_iterator_init() < 0) return Error("ctx list", "cannot read the context database");
  std::vector<unsigned> ids;
  unsigned id;
  int rc;
  while ((rc = ctxdb_iterator_next(&id)) > 0) ids.push_back(id);
  ctxdb_iterator_free();
  if (rc < 0) return Error("ctx list", "the context database failed while listing");
  Json j;
  j.BeginArray();
  for (unsigned c : ids) {
    unsigned n = 0;
    ctxdb_get_instances_by_ctxid(c, &n, 1);
    bool bridge = ctxdb_is_bridge(c) == 1, junction = ctxdb_is_junction(c) == 1;
    if (ctx.json) {
      j.BeginObject().Field("ctx", c).FieldBool("bridge", bridge).FieldBool("junction", junction)
          .Field("ipv6_instances", n).EndObject();
    } else {
      printf("%u%s%s ipv6-instances=%u\n", c, bridge ? " bridge" : "", junction ? " junction" : "", n);
    }
  }
  if (ctx.json) j.EndArray().Print();
  return kOk;
}

}  // namespace

void AddContextCommands(CLI::App &app, Context &ctx) {
  CLI::App *group = app.add_subcommand("ctx", "Virtual-system contexts");
  group->require_subcommand(1, 1);
  auto a = std::make_shared<Args>();
  AddCommand(*group, ctx, "list", "List the contexts with their flags", [&ctx] { return List(ctx); });
  CLI::App *add = AddCommand(*group, ctx, "add", "Add a context, or replace its entry", [a] {
    if (a->id == 0) return Error("ctx add", "context 0 is the main system and always exists", kUsage);
    if (tq_ctxdb_add(static_cast<unsigned>(a->id), a->bridge, a->junction, a->instances6) != 0)
      return Error("ctx add", "cannot write context " + std::to_string(a->id) + " to the context database");
    return int(kOk);
  });
  add->add_option("N", a->id, "Context id")->required()->check(CLI::Range(0u, 4294967295u));
  add->add_flag("--bridge", a->bridge, "The virtual system is a bridge");
  add->add_flag("--junction", a->junction, "The virtual system is a junction");
  add->add_option("--ipv6-instances", a->instances6, "Number of IPv6 instances")->check(CLI::NonNegativeNumber);
  CLI::App *rm = AddCommand(*group, ctx, "rm", "Remove a context (its registry file stays)", [a] {
    if (a->id == 0) return Error("ctx rm", "context 0 cannot be removed", kUsage);
    if (ctxdb_is_bridge(static_cast<unsigned>(a->id)) < 0)
      return Error("ctx rm", "context " + std::to_string(a->id) + " does not exist");
    if (tq_ctxdb_remove(static_cast<unsigned>(a->id)) != 0)
      return Error("ctx rm", "cannot remove context " + std::to_string(a->id));
    return int(kOk);
  });
  rm->add_option("N", a->id, "Context id")->required()->check(CLI::Range(0u, 4294967295u));
}

}  // namespace tqtool
