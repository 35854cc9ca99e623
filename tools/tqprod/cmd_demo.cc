// demo-init: imports the embedded example appliance registry
// (examples/appliance.reg), the registry `scripts/run-main` shows.
#include <stdio.h>

#include <memory>

#include "cli.h"
#include "json.h"
#include "reg_apply.h"

namespace tqtool {

extern const char kDemoRegistry[];

void AddDemoCommand(CLI::App &app, Context &ctx) {
  auto print = std::make_shared<bool>(false);
  CLI::App *demo = AddCommand(app, ctx, "demo-init",
                              "Import the embedded example appliance registry", [print, &ctx] {
    if (*print) {
      fputs(kDemoRegistry, stdout);
      return int(kOk);
    }
    RegFile file;
    std::string why;
    if (!ParseReg(kDemoRegistry, file, why)) return Error("demo-init", "embedded registry: " + why);
    ApplyStats st;
    bool rolled_back = false;
    if (!ApplyReg(file, st, why, rolled_back)) return Error("demo-init", why);
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("keys", st.keys).Field("values", st.values).EndObject().Print();
    } else {
      printf("example appliance registry imported: %u keys, %u values\n", st.keys, st.values);
    }
    return int(kOk);
  });
  demo->add_flag("--print", *print, "Print the embedded .reg text instead of importing it");
}

}  // namespace tqtool
