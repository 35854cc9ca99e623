// Install-media commands: media info, media list, media package (with the
// multi-CD dialogue).
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <iostream>
#include <map>
#include <memory>

#include "cli.h"
#include "output.h"
#include "json.h"
#include "tqprod50.h"

namespace tqtool {
namespace {

struct Args {
  std::string cd, product, sp, os;
  bool all = false;
  std::vector<std::string> cds;  // N=PATH
};

std::vector<std::string> Split(const std::string &s, char sep) {
  std::vector<std::string> out;
  size_t pos = 0;
  for (;;) {
    size_t end = s.find(sep, pos);
    out.push_back(s.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
    if (end == std::string::npos) return out;
    pos = end + 1;
  }
}

bool IsMedium(const std::string &cd, std::string &why) {
  if (access((cd + "/DW").c_str(), R_OK | X_OK) != 0)
    return why = cd + " has no readable DW directory (not an installation medium)", false;
  return true;
}

// Runs the search over the whole medium (the package path needs it first).
std::vector<std::string> Products(const std::string &cd, bool all) {
  std::vector<std::string> out;
  for (int restart = 1; out.size() < CDINFO_MAX_PRODUCTS * 4; restart = 0) {
    if (all) {
      char *r = CDINFO_SearchAll(cd.c_str(), restart);
      if (!r) break;
      out.push_back(r);
    } else {
      char *r = CDINFO_Search(cd.c_str(), restart);
      if (!r) break;
      out.push_back(r);
      free(r);
    }
  }
  return out;
}

// The mount path of CD n: from --cd, else asked on the terminal.
bool PathOfCd(const std::map<std::string, std::string> &given, const std::string &n,
              const std::string &current, std::string &path, std::string &why) {
  auto it = given.find(n);
  if (it != given.end()) return path = it->second, true;
  if (!isatty(0) || !isatty(2))
    return why = "CD " + n + " is needed: give --cd " + n + "=PATH", false;
  std::cerr << "Insert CD " << n << " and enter its path [" << current << "]: " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) return why = "no path given for CD " + n, false;
  path = line.empty() ? current : line;
  return true;
}

int Package(const Args &a, const Context &ctx) {
  std::string why;
  if (!IsMedium(a.cd, why)) return Error("media package", why);
  std::map<std::string, std::string> given;
  for (const std::string &c : a.cds) {
    size_t eq = c.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == c.size())
      return Error("media package", "--cd takes N=PATH, not \"" + c + "\"", kUsage);
    given[c.substr(0, eq)] = c.substr(eq + 1);
  }
  std::string cd = a.cd;
  CDINFO_IsDVD(cd.c_str());
  Products(cd, false);
  std::vector<char> out(4096, '\0'), next(4096, '\0');
  std::vector<std::string> asked;
  int flag = 0;
  for (int round = 0; round < 64; ++round) {
    std::fill(out.begin(), out.end(), '\0');
    std::fill(next.begin(), next.end(), '\0');
    int rc = CDINFO_GetPackagePath(cd.c_str(), a.product.c_str(), a.sp.c_str(), a.os.c_str(), flag,
                                   out.data(), next.data());
    if (rc == 32) {
      if (ctx.json) {
        Json j;
        j.BeginObject().Field("package", out.data()).Key("cds_asked").StrArray(asked).EndObject().Print();
      } else {
        printf("%s\n", Shown(out.data()).c_str());
      }
      return kOk;
    }
    if (rc != 30 && rc != 31)
      return Error("media package", "no package for " + a.product + " " + a.sp + " " + a.os +
                                        " (the trace log opt/TQInstLog/cdInfo.elg under the system root says why)");
    std::string n = next.data();
    if (n.empty()) n = asked.empty() ? "?" : asked.back();  // the same CD was found again
    std::string path;
    if (!PathOfCd(given, n, cd, path, why)) return Error("media package", why);
    if (!IsMedium(path, why)) return Error("media package", "CD " + n + ": " + why);
    asked.push_back(n);
    cd = path;
    // 31: the product lies on that CD, start over there; 30: the assembly
    // goes on with that CD.
    flag = rc == 30 ? 1 : 0;
    if (rc == 31) {
      CDINFO_IsDVD(cd.c_str());
      Products(cd, false);
    }
  }
  return Error("media package", "gave up after 64 CD changes");
}

}  // namespace

void AddMediaCommands(CLI::App &app, Context &ctx) {
  CLI::App *group = app.add_subcommand("media", "Installation media (CD or DVD)");
  group->require_subcommand(1, 1);
  auto a = std::make_shared<Args>();

  CLI::App *info = AddCommand(*group, ctx, "info", "Vendor, version, service pack and kind of a medium",
                              [a, &ctx] {
    std::string why;
    if (!IsMedium(a->cd, why)) return Error("media info", why);
    int dvd = CDINFO_IsDVD(a->cd.c_str());
    char *vendor = nullptr, *version = nullptr, *sp = nullptr;
    int attrib = CDINFO_GetCdAttrib(a->cd.c_str(), &vendor, &version);
    CDINFO_GetCdSP(a->cd.c_str(), &sp);
    Products(a->cd, false);
    bool set = IsMultipleCD() != 0;
    std::string v = vendor ? vendor : "", ver = version ? version : "", s = sp ? sp : "";
    free(vendor);
    free(version);
    free(sp);
    if (attrib != 1) {
      // A CD of a set: the product index header holds the attributes.
      if (!set) return Error("media info", a->cd + ": no description file (DW/dw.txt or DW/Products.conf)");
      v = VENDOR, ver = VERSION, s = SP;
    }
    std::string cdnum = set ? CDNUM : "";
    if (ctx.json) {
      Json j;
      j.BeginObject().Field("vendor", v).Field("version", ver).Field("sp", s)
          .FieldBool("dvd", dvd == 1).FieldBool("multiple_cd", set).Field("cd", cdnum)
          .EndObject().Print();
    } else {
      printf("vendor       %s\nversion      %s\nservice pack %s\nkind         %s\n",
             Shown(v).c_str(), Shown(ver).c_str(), Shown(s).c_str(), dvd == 1 ? "DVD" : set ? ("CD " + cdnum + " of a set").c_str() : "single CD");
    }
    return int(kOk);
  });
  CompleteAs(info->add_option("CDPATH", a->cd, "Mount path of the medium"), Completes::kDirectory)->required();

  CLI::App *list = AddCommand(*group, ctx, "list", "Products offered by a medium", [a, &ctx] {
    std::string why;
    if (!IsMedium(a->cd, why)) return Error("media list", why);
    CDINFO_IsDVD(a->cd.c_str());
    std::vector<std::string> found = Products(a->cd, a->all);
    Json j;
    j.BeginArray();
    for (const std::string &line : found) {
      std::vector<std::string> f = Split(line, ';');
      f.resize(5);
      if (ctx.json)
        j.BeginObject().Field("vendor", f[0]).Field("product", f[1]).Field("version", f[2])
            .Field("sp", f[3]).Field("os", f[4]).EndObject();
      else
        printf("%-12s %-24s %-10s %-8s %s\n", Shown(f[0]).c_str(), Shown(f[1]).c_str(),
               Shown(f[2]).c_str(), Shown(f[3]).c_str(), Shown(f[4]).c_str());
    }
    if (ctx.json) j.EndArray().Print();
    return found.empty() ? Error("media list", a->cd + ": no products found") : int(kOk);
  });
  CompleteAs(list->add_option("CDPATH", a->cd, "Mount path of the medium"), Completes::kDirectory)->required();
  list->add_flag("--all", a->all, "Include the lines the normal search passes over");

  CLI::App *pkg = AddCommand(*group, ctx, "package",
                             "Resolve or assemble a product's package and print its path",
                             [a, &ctx] { return Package(*a, ctx); });
  CompleteAs(pkg->add_option("CDPATH", a->cd, "Mount path of the medium"), Completes::kDirectory)->required();
  pkg->add_option("PRODUCT", a->product, "Product name as the medium lists it")->required();
  pkg->add_option("SP", a->sp, "Service pack")->required();
  pkg->add_option("OS", a->os, "Operating system")->required();
  pkg->add_option("--cd", a->cds, "Path of CD N of the set, as N=PATH (repeatable); without it "
                                  "the tool asks on the terminal");
  pkg->footer("Archives are assembled under <TQ_SYSROOT>/tmp/dw_tmp with gtar and gzip from PATH.");
}

}  // namespace tqtool
