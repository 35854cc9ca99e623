// Product commands: status (one screen about the machine's products) and
// flags (every flag of the library's flag tables with its state).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>

#include "cli.h"
#include "json.h"
#include "tqprod50.h"

namespace tqtool {
namespace {

std::string Copy(const char *s) { return s ? s : ""; }

struct Product {
  std::string name, version, sp, msp, text;
  std::vector<std::string> hotfixes;
};

struct Status {
  std::vector<Product> products;
  std::vector<std::string> plugins, marks, flags_on, partners;
  std::string os_major, os_minor;
  bool zudedaz = false, pro = false, crossbeam = false, diskless = false, triva = false,
       usermode = false;
  unsigned ctx = 0;
};

struct FlagState {
  const char *getter, *key, *value;
  int state;
};

std::vector<FlagState> AllFlags() {
  std::vector<FlagState> out;
#define TQ_FLAG_STATE(getter, setter, key, name, versioned) out.push_back({#getter, #key, name, getter()});
  TQPROD_FLAG_TABLE(TQ_FLAG_STATE)
  TQPROD_CONTEXT_FLAG_TABLE(TQ_FLAG_STATE)
  TQPROD_CACHED_FLAG_TABLE(TQ_FLAG_STATE)
#undef TQ_FLAG_STATE
  return out;
}

void ReadPartners(std::vector<std::string> &out) {
  char partner[256], product[256];
  TQHKEY altex;
  if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), "SOFTWARE\\Tarquel\\ALTEX", 0, 0,
                      &altex) != 0)
    return;
  for (unsigned i = 0; TqkRegEnumKey(altex, i, partner, sizeof partner) == 0; ++i) {
    TQHKEY p;
    if (TqkRegOpenKey(altex, partner, &p) != 0) continue;
    for (unsigned k = 0; TqkRegEnumKey(p, k, product, sizeof product) == 0; ++k) {
      std::string rel = std::string("ALTEX\\") + partner + "\\" + product;
      std::string major = Copy(TQPROD_GetValue(rel.c_str(), "MajorVersion", 0));
      std::string minor = Copy(TQPROD_GetValue(rel.c_str(), "MinorVersion", 0));
      out.push_back(std::string(partner) + "/" + product + " " + major + "." + minor);
    }
    TqkRegCloseKey(p);
  }
  TqkRegCloseKey(altex);
}

Status Collect() {
  Status s;
  char name[500];
  std::vector<std::string> entries;
  for (int restart = 1; TQPROD_GetInstalledProducts(restart, name) == 0; restart = 0)
    entries.push_back(name);
  for (const std::string &e : entries) {
    if (e.compare(0, 2, "PI") == 0) continue;  // plug-ins are listed below
    Product p;
    p.name = e;
    p.version = Copy(TQPROD_GetCurrentVersion(e.c_str()));
    if (p.version.empty()) continue;  // an installed mark, not a product key
    p.sp = Copy(TQPROD_GetCurrentServicePack(e.c_str()));
    p.msp = Copy(TQPROD_GetCurrentMSP(e.c_str()));
    p.text = Copy(TQPROD_GetMSPVerText(e.c_str(), p.sp.c_str()));
    for (const char *first = e.c_str(); TQPROD_GetHotFixes(first, name) == 0; first = nullptr)
      p.hotfixes.push_back(name);
    s.products.push_back(p);
  }
  for (int restart = 1; TQPROD_GetInstalledPlugIns(restart, name) == 0; restart = 0)
    if (name[0]) s.plugins.push_back(std::string(name) + " " + Copy(TQPROD_GetCurrentVersion(name)));
#define TQ_MARK(check, set, mark) if (check()) s.marks.push_back(mark);
  TQPROD_INSTALLED_MARK_TABLE(TQ_MARK)
#undef TQ_MARK
  for (const FlagState &f : AllFlags())
    if (f.state) s.flags_on.push_back(f.value);
  ReadPartners(s.partners);
  char major[64] = "", minor[64] = "";
  TQPROD_ZudedazVer(major, minor);
  s.os_major = major;
  s.os_minor = minor;
  s.zudedaz = TQPROD_IsZudedaz() != 0;
  s.pro = TQPROD_IsZudedazPro() != 0;
  s.crossbeam = TQPROD_IsCrossBeamPlatform() != 0;
  s.diskless = TQPROD_IsDiskless() != 0;
  s.triva = tq_is_triva() != 0;
  s.usermode = tq_is_usermode() != 0;
  s.ctx = tq_get_current_ctx_id();
  return s;
}

std::string Join(const std::vector<std::string> &v) {
  std::string out;
  for (const std::string &s : v) out += (out.empty() ? "" : ", ") + s;
  return out.empty() ? "none" : out;
}

void PrintStatus(const Status &s) {
  printf("Installed products\n");
  if (s.products.empty()) printf("  none\n");
  for (const Product &p : s.products) {
    printf("  %-12s version %s", p.name.c_str(), p.version.c_str());
    if (!p.sp.empty()) printf(", SP %s", p.sp.c_str());
    if (!p.msp.empty()) printf(", MSP %s", p.msp.c_str());
    if (!p.text.empty()) printf("  (%s)", p.text.c_str());
    printf("\n");
    if (!p.hotfixes.empty()) printf("  %-12s hot fixes: %s\n", "", Join(p.hotfixes).c_str());
  }
  printf("Plug-ins:         %s\n", Join(s.plugins).c_str());
  printf("Partner products: %s\n", Join(s.partners).c_str());
  printf("Installed marks:  %s\n", Join(s.marks).c_str());
  printf("Role flags on:    %s\n", Join(s.flags_on).c_str());
  printf("Machine\n");
  printf("  operating system  %s%s (%s %s)\n", s.zudedaz ? "Zudedaz" : "not Zudedaz",
         s.pro ? " Pro" : "", s.os_major.c_str(), s.os_minor.c_str());
  printf("  Crossbeam         %s\n", s.crossbeam ? "yes" : "no");
  printf("  diskless          %s\n", s.diskless ? "yes" : "no");
  printf("  virtual systems   %s (context %u)\n", s.triva ? "yes" : "no", s.ctx);
  printf("  user mode         %s\n", s.usermode ? "yes" : "no");
}

void StatusJson(const Status &s) {
  Json j;
  j.BeginObject().Key("products").BeginArray();
  for (const Product &p : s.products)
    j.BeginObject().Field("name", p.name).Field("version", p.version).Field("sp", p.sp)
        .Field("msp", p.msp).Field("text", p.text).Key("hotfixes").StrArray(p.hotfixes)
        .EndObject();
  j.EndArray().Key("plugins").StrArray(s.plugins).Key("partners").StrArray(s.partners)
      .Key("marks").StrArray(s.marks).Key("flags_on").StrArray(s.flags_on)
      .Key("machine").BeginObject()
      .FieldBool("zudedaz", s.zudedaz).FieldBool("zudedaz_pro", s.pro)
      .Field("os_major", s.os_major).Field("os_minor", s.os_minor)
      .FieldBool("crossbeam", s.crossbeam).FieldBool("diskless", s.diskless)
      .FieldBool("virtual_systems", s.triva).FieldBool("usermode", s.usermode)
      .Field("context", s.ctx).EndObject().EndObject().Print();
}

}  // namespace

void AddProductCommands(CLI::App &app, Context &ctx) {
  AddCommand(app, ctx, "status",
             "One screen: installed products and levels, hot fixes, plug-ins, role flags, machine",
             [&ctx] {
               Status s = Collect();
               if (ctx.json) StatusJson(s);
               else PrintStatus(s);
               return int(kOk);
             });
  auto on_only = std::make_shared<bool>(false);
  CLI::App *flags = AddCommand(app, ctx, "flags", "Every flag of the flag tables with its state",
                               [&ctx, on_only] {
    std::vector<FlagState> all = AllFlags();
    if (ctx.json) {
      Json j;
      j.BeginArray();
      for (const FlagState &f : all)
        if (f.state || !*on_only)
          j.BeginObject().Field("function", f.getter).Field("product", f.key)
              .Field("value", f.value).FieldBool("on", f.state != 0).EndObject();
      j.EndArray().Print();
      return int(kOk);
    }
    for (const FlagState &f : all)
      if (f.state || !*on_only)
        printf("%-3s %-36s %-10s \"%s\"\n", f.state ? "on" : "off", f.getter, f.key, f.value);
    return int(kOk);
  });
  flags->add_flag("--on", *on_only, "Only the flags that are on");
}

}  // namespace tqtool
