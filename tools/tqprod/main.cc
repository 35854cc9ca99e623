// tqprod: the command line over libtqprod50 and its registry.
//
// Exit codes: 0 success or true; 1 failure, not found or false; 2 usage.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>
#include <vector>

#include "demo_registry.h"
#include "registry_io.h"
#include "tqprod50.h"

using namespace tqtool;

namespace {

int Fail(const std::string &what) {
  std::cerr << "tqprod: " << what << "\n";
  return 1;
}

bool ParseType(const std::string &name, unsigned &type) {
  if (name == "string") type = TQREG_SZ;
  else if (name == "number") type = TQREG_DWORD;
  else if (name == "multi-string") type = TQREG_MULTI_SZ;
  else return false;
  return true;
}

// Encodes command-line data for a value of the given type.
bool EncodeData(unsigned type, const std::vector<std::string> &data, std::string &out,
                std::string &why) {
  out.clear();
  if (type == TQREG_DWORD) {
    if (data.size() != 1) return why = "a number takes exactly one DATA argument", false;
    char *end = nullptr;
    long long n = strtoll(data[0].c_str(), &end, 0);
    if (end == data[0].c_str() || *end != '\0' || n < INT32_MIN || n > UINT32_MAX)
      return why = "not a 32-bit number: " + data[0], false;
    uint32_t v = static_cast<uint32_t>(n);
    out.assign(reinterpret_cast<const char *>(&v), 4);
    return true;
  }
  if (type == TQREG_SZ) {
    if (data.size() != 1) return why = "a string takes exactly one DATA argument", false;
    out = data[0];
    out.push_back('\0');
    return true;
  }
  for (const std::string &item : data) {
    out += item;
    out.push_back('\0');
  }
  out.push_back('\0');
  return true;
}

int DemoInit() {
  for (unsigned i = 0; i < kDemoRegistrySize; ++i) {
    const DemoValue &d = kDemoRegistry[i];
    Value v;
    v.name = d.name;
    v.type = d.type;
    if (d.type == TQREG_DWORD) {
      uint32_t n = static_cast<uint32_t>(strtoul(d.data, nullptr, 10));
      v.data.assign(reinterpret_cast<const char *>(&n), 4);
    } else if (d.type == TQREG_MULTI_SZ) {
      const char *p = d.data;
      while (*p) p += strlen(p) + 1;
      v.data.assign(d.data, static_cast<size_t>(p - d.data) + 1);
    } else {
      v.data.assign(d.data, strlen(d.data) + 1);
    }
    std::string why;
    if (!WriteValue(d.key, v, why)) return Fail(why);
  }
  printf("demo registry written: %u values\n", kDemoRegistrySize);
  return 0;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"tqprod: inspect and change the product registry"};
  app.require_subcommand(1);
  std::string registry_dir;
  app.add_option("--registry", registry_dir, "Registry directory (instead of TQ_REGISTRY_DIR)");

  std::string key, name, type_name;
  std::vector<std::string> data;

  CLI::App *get = app.add_subcommand("get", "Print one value of a key");
  get->add_option("KEY", key, "Absolute key path, e.g. 'SOFTWARE\\Tarquel\\MRK'")->required();
  get->add_option("VALUE", name, "Value name")->required();

  CLI::App *set = app.add_subcommand("set", "Write one value, creating the key");
  set->add_option("KEY", key, "Absolute key path")->required();
  set->add_option("VALUE", name, "Value name")->required();
  set->add_option("TYPE", type_name, "string, number or multi-string")
      ->required()
      ->check(CLI::IsMember({"string", "number", "multi-string"}));
  set->add_option("DATA", data, "The data (one item per argument for multi-string)")
      ->required();

  CLI::App *ls = app.add_subcommand("ls", "List the subkeys and values of a key");
  ls->add_option("KEY", key, "Absolute key path")->required();

  app.add_subcommand("demo-init", "Write the embedded default registry");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  }

  if (!registry_dir.empty()) {
    setenv("TQ_REGISTRY_DIR", registry_dir.c_str(), 1);
    if (TqkResetGlobalEntries() != 0) return Fail("cannot open the registry in " + registry_dir);
  }

  std::string why;
  if (get->parsed()) {
    Value v;
    if (!ReadValue(key, name, v, why)) return Fail(why);
    printf("%s\n", FormatData(v).c_str());
    return 0;
  }
  if (set->parsed()) {
    Value v;
    v.name = name;
    ParseType(type_name, v.type);
    if (!EncodeData(v.type, data, v.data, why)) {
      std::cerr << "tqprod set: " << why << "\n";
      return 2;
    }
    return WriteValue(key, v, why) ? 0 : Fail(why);
  }
  if (ls->parsed()) {
    std::vector<std::string> subkeys;
    std::vector<Value> values;
    if (!ListKey(key, subkeys, values, why)) return Fail(why);
    for (const std::string &s : subkeys) printf("%s\\\n", s.c_str());
    for (const Value &v : values)
      printf("%s (%s) = %s\n", v.name.empty() ? "(default)" : v.name.c_str(), TypeName(v.type),
             FormatData(v).c_str());
    return 0;
  }
  return DemoInit();
}
