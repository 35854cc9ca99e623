// Registry commands: get, set, del, ls, tree. Keys are absolute paths below
// HKEY_LOCAL_MACHINE ("SOFTWARE\Tarquel\MRK"; a leading "HKLM\" is accepted).
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>

#include <memory>

#include "cli.h"
#include "output.h"
#include "registry_io.h"

namespace tqtool {
namespace {

struct Args {
  std::string key, name, type;
  std::vector<std::string> data;
};

bool Encode(const std::string &type, const std::vector<std::string> &data, Value &v,
            std::string &why) {
  if (type == "number") {
    if (data.size() != 1) return why = "a number takes exactly one DATA argument", false;
    char *end = nullptr;
    errno = 0;
    long long n = strtoll(data[0].c_str(), &end, 0);
    if (end == data[0].c_str() || *end != '\0' || errno || n < INT32_MIN || n > UINT32_MAX)
      return why = "not a 32-bit number: \"" + data[0] + "\"", false;
    uint32_t u = static_cast<uint32_t>(n);
    v.type = TQREG_DWORD;
    v.data.assign(reinterpret_cast<const char *>(&u), 4);
    return true;
  }
  if (type == "string") {
    if (data.size() != 1) return why = "a string takes exactly one DATA argument", false;
    v.type = TQREG_SZ;
    v.data = data[0] + '\0';
    return true;
  }
  v.type = TQREG_MULTI_SZ;
  v.data.clear();
  for (const std::string &item : data) {
    if (item.empty()) return why = "a multi-string item cannot be empty", false;
    v.data += item + '\0';
  }
  v.data += '\0';
  return true;
}

void TreeText(const KeyNode &node, unsigned depth) {
  std::string indent(depth * 2, ' ');
  std::string name = node.path.empty() ? "HKEY_LOCAL_MACHINE" : node.path.substr(node.path.rfind('\\') + 1);
  if (depth == 0) name = KeyLabel(node.path);
  printf("%s%s\\\n", indent.c_str(), Shown(name).c_str());
  for (const Value &v : node.values) printf("%s  %s\n", indent.c_str(), Shown(ValueLine(v)).c_str());
  for (const KeyNode &c : node.children) TreeText(c, depth + 1);
}

void TreeJson(Json &j, const KeyNode &node) {
  j.BeginObject().Field("key", node.path).Key("values").BeginArray();
  for (const Value &v : node.values) ValueJson(j, v);
  j.EndArray().Key("subkeys").BeginArray();
  for (const KeyNode &c : node.children) TreeJson(j, c);
  j.EndArray().EndObject();
}

}  // namespace

void AddRegistryCommands(CLI::App &app, Context &ctx) {
  auto a = std::make_shared<Args>();
  const char *key_help = "Absolute key path, e.g. 'SOFTWARE\\Tarquel\\MRK'";

  CLI::App *get = AddCommand(app, ctx, "get", "Print one value of a key", [a, &ctx] {
    std::string key, why;
    if (!NormalizeKey(a->key, key, why)) return Error("get", why, kUsage);
    Value v;
    if (!ReadValue(key, a->name, v, why)) return Error("get", why);
    if (ctx.json) {
      Json j;
      ValueJson(j, v);
      j.Print();
    } else {
      printf("%s\n", Shown(FormatData(v)).c_str());
    }
    return int(kOk);
  });
  CompleteAs(get->add_option("KEY", a->key, key_help), Completes::kKey)->required();
  CompleteAs(get->add_option("VALUE", a->name, "Value name (\"\" for the default value)"),
             Completes::kValueName)
      ->required();

  CLI::App *set = AddCommand(app, ctx, "set", "Write one value, creating the key as needed", [a] {
    std::string key, why;
    if (!NormalizeKey(a->key, key, why)) return Error("set", why, kUsage);
    Value v;
    v.name = a->name;
    if (!Encode(a->type, a->data, v, why)) return Error("set", why, kUsage);
    return WriteValue(key, v, why) ? int(kOk) : Error("set", why);
  });
  CompleteAs(set->add_option("KEY", a->key, key_help), Completes::kKey)->required();
  set->add_option("VALUE", a->name, "Value name")->required();
  set->add_option("TYPE", a->type, "string, number or multi-string")
      ->required()
      ->check(CLI::IsMember({"string", "number", "multi-string"}));
  set->add_option("DATA", a->data, "The data; one argument per item for a multi-string")
      ->required();
  set->footer("Example: tqprod set 'SOFTWARE\\Tarquel\\MRK\\5.0' HighAvailability number 1");

  CLI::App *del = AddCommand(app, ctx, "del", "Delete a value, or a key with its whole subtree", [a] {
    std::string key, why;
    if (!NormalizeKey(a->key, key, why)) return Error("del", why, kUsage);
    bool ok = a->data.empty() ? DeleteKey(key, why) : DeleteValue(key, a->data[0], why);
    return ok ? int(kOk) : Error("del", why);
  });
  CompleteAs(del->add_option("KEY", a->key, key_help), Completes::kKey)->required();
  CompleteAs(del->add_option("VALUE", a->data, "Value to delete (without it: the key and its subkeys)"),
             Completes::kValueName)
      ->expected(0, 1);

  CLI::App *ls = AddCommand(app, ctx, "ls", "List the subkeys and values of a key", [a, &ctx] {
    std::string key, why;
    if (!NormalizeKey(a->key, key, why)) return Error("ls", why, kUsage);
    std::vector<std::string> subkeys;
    std::vector<Value> values;
    if (!ListKey(key, subkeys, values, why)) return Error("ls", why);
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("key", key).Key("subkeys").StrArray(subkeys).Key("values").BeginArray();
      for (const Value &v : values) ValueJson(j, v);
      j.EndArray().EndObject().Print();
      return int(kOk);
    }
    for (const std::string &s : subkeys) printf("%s\\\n", Shown(s).c_str());
    for (const Value &v : values) printf("%s\n", Shown(ValueLine(v)).c_str());
    return int(kOk);
  });
  CompleteAs(ls->add_option("KEY", a->key, key_help), Completes::kKey)->required();

  CLI::App *tree = AddCommand(app, ctx, "tree", "Print a key and everything below it, indented",
                              [a, &ctx] {
    std::string key, why;
    if (!NormalizeKey(a->key, key, why)) return Error("tree", why, kUsage);
    KeyNode node;
    if (!ReadTree(key, node, why)) return Error("tree", why);
    if (ctx.json) {
      Json j;
      TreeJson(j, node);
      j.Print();
    } else {
      TreeText(node, 0);
    }
    return int(kOk);
  });
  CompleteAs(tree->add_option("KEY", a->key, key_help), Completes::kKey)->default_val("SOFTWARE\\Tarquel");
}

}  // namespace tqtool
