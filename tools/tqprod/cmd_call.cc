// call FUNCTION [ARGS...]: calls an exported getter or setter of the library
// through the call table and prints its result and output parameters.
#include <stdio.h>

#include <memory>

#include "call_table.h"
#include "cli.h"
#include "json.h"

namespace tqtool {
namespace {

struct Args {
  std::string function;
  std::vector<std::string> args;
  bool list = false;
};

int List(const Context &ctx) {
  if (ctx.json) {
    Json j;
    j.BeginArray();
    for (const CallRow &r : CallTable())
      j.BeginObject().Field("name", r.name).Field("params", r.params(r))
          .Field("result", ResName(r.res)).EndObject();
    j.EndArray().Print();
    return kOk;
  }
  for (const CallRow &r : CallTable())
    printf("%s(%s) -> %s\n", r.name, r.params(r).c_str(), ResName(r.res));
  return kOk;
}

}  // namespace

void AddCallCommand(CLI::App &app, Context &ctx) {
  auto a = std::make_shared<Args>();
  CLI::App *call = AddCommand(app, ctx, "call", "Call an exported library function by name",
                              [a, &ctx] {
    if (a->list) return List(ctx);
    if (a->function.empty()) return Error("call", "FUNCTION is required (see tqprod call --list)", kUsage);
    const CallRow *row = FindCall(a->function);
    if (!row)
      return Error("call", "no callable function \"" + a->function + "\" (see tqprod call --list)", kUsage);
    CallResult r;
    std::string why;
    if (row->invoke(*row, a->args, r, why) != 0)
      return Error("call " + a->function, why + "; parameters: (" + row->params(*row) + ")", kUsage);
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("function", row->name).Key("result");
      if (!r.has_value) j.Null();
      else if (r.is_num) j.Num(r.num);
      else j.Str(r.is_null ? nullptr : r.str.c_str());
      j.Key("outputs").BeginObject();
      for (const CallOutput &o : r.outputs) {
        j.Key(o.name);
        if (o.is_num) j.Num(o.num);
        else j.Str(o.is_null ? nullptr : o.str.c_str());
      }
      j.EndObject().Field("exit", r.exit_code).EndObject().Print();
      return r.exit_code;
    }
    if (r.has_value) {
      if (r.is_num) printf("%lld\n", r.num);
      else printf("%s\n", r.is_null ? "(null)" : r.str.c_str());
    }
    for (const CallOutput &o : r.outputs) {
      if (o.is_num) printf("%s=%lld\n", o.name.c_str(), o.num);
      else printf("%s=%s\n", o.name.c_str(), o.is_null ? "(null)" : o.str.c_str());
    }
    return r.exit_code;
  });
  std::vector<std::string> names;
  for (const CallRow &r : CallTable()) names.push_back(r.name);
  CompleteAs(call->add_option("FUNCTION", a->function, "Exported function name, e.g. FwIsHighAvail"), names);
  call->add_option("ARGS", a->args,
                   "Arguments in order: text, numbers (decimal or 0x hex), @null for NULL; "
                   "output buffers and output numbers take no argument and are printed as argN=");
  call->add_flag("--list", a->list, "List the callable functions with their parameters");
  call->footer("Exit code: 0 when the result means success or true, 1 for failure, false, "
               "NULL or absent, 2 for a wrong argument.");
  call->allow_extras(false);
}

}  // namespace tqtool
