// .reg file commands: export KEY FILE, import FILE.
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "cli.h"
#include "json.h"
#include "reg_apply.h"
#include "reg_format.h"

namespace tqtool {
namespace {

struct Args {
  std::string key, file, format = "regedit5";
};

void Count(const KeyNode &n, unsigned &keys, unsigned &values) {
  ++keys;
  values += static_cast<unsigned>(n.values.size());
  for (const KeyNode &c : n.children) Count(c, keys, values);
}

bool ReadAll(const std::string &path, std::string &out, std::string &why) {
  if (path == "-") {
    out.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    return true;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) return why = "cannot open " + path + ": " + strerror(errno), false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return true;
}

}  // namespace

void AddRegFileCommands(CLI::App &app, Context &ctx) {
  auto a = std::make_shared<Args>();

  CLI::App *exp = AddCommand(app, ctx, "export", "Write a key and its subtree to a .reg file",
                             [a, &ctx] {
    std::string key, why;
    if (!NormalizeKey(a->key, key, why)) return Error("export", why, kUsage);
    KeyNode tree;
    if (!ReadTree(key, tree, why)) return Error("export", why);
    std::string text = WriteReg(tree, a->format == "regedit4" ? RegFormat::kV4 : RegFormat::kV5);
    unsigned keys = 0, values = 0;
    Count(tree, keys, values);
    if (a->file == "-") {
      fwrite(text.data(), 1, text.size(), stdout);
      return int(kOk);
    }
    std::string tmp = a->file + ".tmp";
    FILE *f = fopen(tmp.c_str(), "wbe");
    if (!f) return Error("export", "cannot create " + tmp + ": " + strerror(errno));
    bool ok = fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = (fclose(f) == 0) && ok;
    if (!ok || rename(tmp.c_str(), a->file.c_str()) != 0) {
      std::string err = strerror(errno);
      remove(tmp.c_str());
      return Error("export", "cannot write " + a->file + ": " + err);
    }
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("file", a->file).Field("key", key).Field("format", a->format)
          .Field("keys", keys).Field("values", values).EndObject().Print();
    } else {
      printf("exported %u keys, %u values to %s\n", keys, values, a->file.c_str());
    }
    return int(kOk);
  });
  CompleteAs(exp->add_option("KEY", a->key, "Absolute key path to export"), Completes::kKey)->required();
  CompleteAs(exp->add_option("FILE", a->file, "Output file, or - for standard output"), Completes::kFile)
      ->required();
  exp->add_option("--format", a->format, "regedit5 (\"Windows Registry Editor Version 5.00\") "
                                         "or regedit4 (\"REGEDIT4\")")
      ->check(CLI::IsMember({"regedit5", "regedit4"}))
      ->capture_default_str();

  CLI::App *imp = AddCommand(app, ctx, "import",
                             "Apply a .reg file (all of it, or nothing when a line fails)",
                             [a, &ctx] {
    std::string bytes, why;
    if (!ReadAll(a->file, bytes, why)) return Error("import", why);
    RegFile file;
    if (!ParseReg(bytes, file, why)) return Error("import", a->file + ": " + why, kUsage);
    ApplyStats st;
    bool rolled_back = false;
    if (!ApplyReg(file, st, why, rolled_back, ctx.json))
      return Error("import", a->file + ": " + why +
                                 (rolled_back ? "; nothing was changed" : "; the registry may be partly changed"));
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("file", a->file)
          .Field("format", file.format == RegFormat::kV4 ? "regedit4" : "regedit5")
          .Field("keys", st.keys).Field("values", st.values)
          .Field("deleted_keys", st.deleted_keys).Field("deleted_values", st.deleted_values)
          .EndObject().Print();
    } else {
      printf("imported %s: %u keys, %u values written; %u keys, %u values deleted\n",
             a->file.c_str(), st.keys, st.values, st.deleted_keys, st.deleted_values);
    }
    return int(kOk);
  });
  CompleteAs(imp->add_option("FILE", a->file, "The .reg file, or - for standard input"), Completes::kFile)
      ->required();
}

}  // namespace tqtool
