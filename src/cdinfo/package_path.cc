// Package path resolution: the product's package on the medium, a ready
// ".tgz" returned as is, or an archive assembled in /tmp/dw_tmp; on a set
// of CDs possibly a CD number to insert (results 30 and 31).
#include <dirent.h>
#include <ftw.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <vector>

#include "cdinfo/cdinfo_internal.h"

namespace tq {
namespace cdinfo {

int BrnxCase(const char *input_path, const char *temp_path);
int BrnxCaseForMultipleCD(char *input_path, const char *temp_path, int continue_flag);
int CopyFileToTmpDir(const char *drive_path, const char *temp_path);
int ContinueBrnxCase(const char *product, const char *sp, const char *os, char *out_path);
int ChompOrgInputPath(char *path);

namespace {

constexpr const char kCommandTrace[] = "CDINFO_GetPackagePath:: command <";

// Caller values that reach shell commands or the archive name.
bool RequestSafe(const char *cd_path, const char *product, const char *sp, const char *os) {
  return ShellSafe("cd_path", cd_path) && NameSafe("product", product) && NameSafe("sp", sp) &&
         NameSafe("os", os);
}

// The package path of a medium: shell-safe and without "." or ".." levels
// that would leave the medium.
bool PackagePathSafe(const char *path) {
  if (!ShellSafe("package path", path)) return false;
  char copy[kPathSize];
  CopyText(copy, sizeof copy, path);
  char *parts[128];
  int n = SplitFields(copy, "/", parts, 128);
  for (int i = 0; i < n; ++i) {
    if (strcmp(parts[i], "..") == 0) {
      Trace("CDINFO_GetPackagePath:: refused value of package path (leaves the medium): <", path,
            ">");
      return false;
    }
  }
  return true;
}

bool Exists(const std::string &p) { return access(p.c_str(), F_OK) == 0; }

}  // namespace

char *PrintPath(char *line) {
  Both("Enter:: PrintPath");
  char *fields[6];
  int n = SplitFields(line, ";", fields, 6);
  if (path_index >= 0 && path_index < 6 && path_index < n) {
    char *copy = strdup(fields[path_index]);
    if (copy != nullptr) {
      Trace("Exit:: PrintPath (", copy, ")");
      char text[kPathSize];
      snprintf(text, sizeof text, "Exit:: PrintPath (%s)", copy);
      Facility(text);
      return copy;
    }
  }
  Both("Exit:: PrintPath (NULL)");
  return nullptr;
}

char *GetPackagePath(char *cd_path, const char *product, const char *sp, const char *os) {
  static char result[kPathSize];
  run_get_details = 1;
  result[0] = '\0';
  Both("Enter::GetPackagePath");
  const char *found = ::GetLine(cd_path, product, sp, os);
  char line[kLineSize];
  CopyText(line, sizeof line, found);
  // Cuts at backslashes only; a slash-separated media root stays as it is.
  if (this_is_dvd == 1 && product != nullptr && strcmp(product, "Zudedaz") == 0)
    ChompOrgInputPath(cd_path);
  char *field = found ? PrintPath(line) : nullptr;
  if (field == nullptr || cd_path == nullptr) {
    free(field);
    return nullptr;
  }
  bool fits = FormatInto(result, sizeof result, "%s%s", cd_path, field);
  free(field);
  if (!fits) {
    Trace("GetPackagePath:: path too long, refused");
    return nullptr;
  }
  Trace("GetPackagePath::BeforeConvertSlesh: path=", result);
  for (char *p = result; *p; ++p)
    if (*p == '\\') *p = '/';
  Trace("GetPackagePath::AfterConvertSlesh: path=", result);
  Trace("GetPackagePath:: path <", result, ">");
  Trace("Exit::GetPackagePath");
  Facility("Exit: GetPackagePath");
  return result[0] != '\0' ? result : nullptr;
}

int IsTgz(const char *path, char **out_file_name, int brnx_flag) {
  static char copy[kPathSize];
  Both("Enter: CDINFO_IsTgz");
  if (path == nullptr || !CopyText(copy, sizeof copy, path)) return -1;
  Trace("CDINFO_IsTgz::path Before convert= ", copy);
  Trace("CDINFO_IsTgz::path After convert= ", copy);
  if (brnx_flag != 0) {
    TraceF("CDINFO_IsTgz:: brnx_flag == %d, product is BRNX", brnx_flag);
    return 0;
  }
  TraceF("CDINFO_IsTgz:: brnx_flag == %d, product is not BRNX", 0);
  TqFsDir *dir = FsDirOpen(copy);
  if (dir == nullptr) return -1;
  while (const char *name = FsDirRead(dir)) {
    if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) continue;
    if (strstr(name, ".tgz") == nullptr) continue;
    Trace("CDINFO_IsTgz::Tgz file found: ", name);
    size_t n = strlen(name);
    char *out = static_cast<char *>(calloc(n + 2, 1));
    if (out != nullptr) memcpy(out, name, n);
    if (out_file_name != nullptr)
      *out_file_name = out;
    else
      free(out);
    Trace("Exit CDINFO_IsTgz out_file_name=", name);
    FsDirClose(dir);
    Facility("Exit:: CDINFO_IsTgz");
    return out != nullptr ? 1 : -1;
  }
  Trace("CDINFO_IsTgz:: No Tgz file found. End of CDINFO_IsTgz");
  Facility("Exit:: CDINFO_IsTgz");
  FsDirClose(dir);
  return 0;
}

int IsArch(const char *cd_path, const char *product, const char *sp, const char *os,
           char **out_file_name) {
  Both("Enter::IsArch\n");
  const char *found = ::GetLine(cd_path, product, sp, os);
  int brnx_flag = 0;
  if (found != nullptr && strstr(found, "Zudedaz") != nullptr) {
    Trace("IsArch: Found Zudedaz in path: ");
    brnx_flag = 1;
  } else {
    Trace("IsArch: Did not find Zudedaz in path: ");
  }
  std::string package_path = cd_path ? cd_path : "";
  char line[kLineSize];
  CopyText(line, sizeof line, found);
  char *field = found ? PrintPath(line) : nullptr;
  if (field != nullptr) {
    char *parts[2];
    int n = SplitFields(field, "/", parts, 2);
    for (int i = 0; i < n; ++i) package_path += std::string("/") + parts[i];
    free(field);
  }
  Trace("Debug:: package_path=", package_path.c_str(), "\n");
  int rc = IsTgz(package_path.c_str(), out_file_name, brnx_flag);
  if (out_file_name != nullptr && *out_file_name != nullptr)
    Trace("IsArch: path file returnd: ", package_path.c_str(), "/", *out_file_name);
  else
    Trace("IsArch: path file returnd: ", package_path.c_str(), "/");
  if (rc == -1) {
    Trace("IsArch: Error opening directory: ", package_path.c_str(), ".");
    return -1;
  }
  return rc;
}

namespace {

int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) { return remove(path); }

// Removes the entries of dir whose names start with "." (not "." and ".."),
// whole; symbolic links are removed, never followed.
void RemoveDotEntries(const std::string &dir) {
  DIR *d = opendir(dir.c_str());
  if (d == nullptr) return;
  std::vector<std::string> names;
  while (struct dirent *e = readdir(d)) {
    if (e->d_name[0] == '.' && strcmp(e->d_name, ".") != 0 && strcmp(e->d_name, "..") != 0)
      names.push_back(e->d_name);
  }
  closedir(d);
  for (const std::string &name : names)
    nftw((dir + "/" + name).c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace

int GetPackagePath_Internal(const char *cd_path, const char *product, const char *sp,
                            const char *os, char *new_cd_num, int continue_flag,
                            char *out_path) {
  if (out_path == nullptr || new_cd_num == nullptr || !RequestSafe(cd_path, product, sp, os))
    return 0;
  if (!FormatInto(products_file, sizeof products_file, "%s/DW/Products.conf", cd_path) ||
      !FormatInto(DW_Curent_File, sizeof DW_Curent_File, "%s/DW/dw.txt", cd_path)) {
    Trace("CDINFO_GetPackagePath:: cd_path too long, refused");
    return 0;
  }
  Both("Enter::CDINFO_GetPackagePath\n");
  Trace("CDINFO_GetPackagePath:: This is non windows platform");
  std::string temp = TempPath();
  const char *temp_path = temp.c_str();
  if (!ShellSafe("temp_path", temp_path)) return 0;
  Trace("CDINFO_GetPackagePath:: temp_path <", temp_path, ">");

  char working[kPathSize];
  CopyText(working, sizeof working, cd_path);
  char *input_path = GetPackagePath(working, product, sp, os);
  if (input_path == nullptr) {
    Trace("CDINFO_GetPackagePath:: input_path <NULL>");
    return 0;
  }
  Trace("CDINFO_GetPackagePath:: input_path <", input_path, ">");
  if (!PackagePathSafe(input_path)) return 0;
  Get_Details();

  if (!tqFileExist(input_path)) {
    Trace("Path to product does not exist. <", input_path, ">. check if Multiple CD.");
    if (::IsMultipleCD() || this_is_dvd == 1) {
      char cd[kPathSize];
      if (ParseProductsFile(products_file, product, 4, cd) != 1) {
        Trace("CDINFO_GetPackagePath_Internal:: Couldn't get cd num");
        return 0;
      }
      Trace("Product: ", product, " resides on CD: ", cd, ". Current CD is: ", CDNUM, ".");
      if (strcmp(cd, CDNUM) == 0) {
        Trace("Path to product does not exist. <", input_path,
              ">. Where it supposed to be... Exit.");
        return 0;
      }
      Trace("Path to product does not exist. <", input_path, ">. Return CD num: ", cd, ".");
      CopyText(new_cd_num, kPathSize, cd);
      return 31;
    }
  }

  char *archive = nullptr;
  int arch = IsArch(working, product, sp, os, &archive);
  if (arch == -1) {
    Trace("CDINFO_GetPackagePath:: IsArch returend with errors.");
    return 0;
  }
  if (arch == 1) {
    char path[kPathSize];
    bool fits = strstr(input_path, ".tgz") != nullptr
                    ? CopyText(path, sizeof path, input_path)
                    : FormatInto(path, sizeof path, "%s/%s", input_path, archive);
    free(archive);
    if (!fits) {
      Trace("CDINFO_GetPackagePath:: archive path too long, refused");
      return 0;
    }
    Trace("CDINFO_GetPackagePath:: this is ARCHIVE");
    Trace("CDINFO_GetPackagePath:: Return package path= ", path, "!");
    CopyText(out_path, kPathSize, path);
    return 32;
  }
  free(archive);

  // Assembly in the work directory.
  Trace("CDINFO_GetPackagePath:: temp_path <", temp_path, ">");
  if (!Exists(temp)) {
    Trace("CDINFO_GetPackagePath:: Temp path not found!");
    return 0;
  }
  Trace("CDINFO_GetPackagePath:: Temp path was found!");
  Trace("CDINFO_GetPackagePath:: Creating Temp directory");
  std::string work = temp + "/dw_tmp", staging = work + "/tgz";
  char cmd[kPathSize];
  if (!WorkDirSafe(work)) return 0;
  if (!Exists(work)) {
    snprintf(cmd, sizeof cmd, "mkdir %s/dw_tmp", temp_path);
    RunShell(kCommandTrace, cmd);
    if (!WorkDirSafe(work)) return 0;
  }
  Trace("CDINFO_GetPackagePath:: Creating Temp\ttgz directory");
  if (!WorkDirSafe(staging)) return 0;
  if (!Exists(staging)) {
    snprintf(cmd, sizeof cmd, "mkdir %s/dw_tmp/tgz", temp_path);
    RunShell(kCommandTrace, cmd);
    if (!WorkDirSafe(staging)) return 0;
  }
  Trace("CDINFO_GetPackagePath:: Before slash conversion input_path=", input_path);
  Trace("CDINFO_GetPackagePath:: After slash conversion input_path=", input_path);
  Trace("CDINFO_GetPackagePath:: Creating Empty dw_tmp\ttgz directory");
  snprintf(cmd, sizeof cmd, "rm -rf %s/dw_tmp/tgz/*", temp_path);
  RunShell(kCommandTrace, cmd);
  RemoveDotEntries(staging);  // "*" leaves them, and they would be packed
  snprintf(cmd, sizeof cmd, "mkdir %s/dw_tmp/tgz/", temp_path);
  RunShell(kCommandTrace, cmd);

  Trace("CDINFO_GetPackagePath:: Copying input into Temp directory");
  char line[kLineSize];
  CopyText(line, sizeof line, ::GetLine(cd_path, product, sp, os));
  Trace("CDINFO_GetPackagePath:: find if the product is BRNX");
  bool whole_dir = strcmp(os, "i386") == 0 || strcmp(os, "linux") == 0;
  if (!FormatInto(cmd, sizeof cmd, whole_dir ? "cp -r %s %s/dw_tmp/tgz" : "cp -r %s/* %s/dw_tmp/tgz",
                  input_path, temp_path)) {
    Trace("CDINFO_GetPackagePath:: copy command too long, refused");
    return 0;
  }
  RunShell(kCommandTrace, cmd);
  Trace("CDINFO_GetPackagePath:: Copying relevant files into Temp directory");
  Trace("CDINFO_GetPackagePath:: find if the product is BRNX");

  char tgz_tag[kLineSize] = "";
  if (strstr(line, "Zudedaz") != nullptr) {
    Trace("CDINFO_GetPackagePath:: Line(", line, ") containes Zudedaz. init tgz_tag to \"new_brnx\" ");
    CopyText(tgz_tag, sizeof tgz_tag, "new_brnx");
  } else {
    Trace("CDINFO_GetPackagePath:: Line(", line, ") doesn't containe Zudedaz.");
  }
  if (char *tag = ::GetTGZtag(line)) {
    CopyText(tgz_tag, sizeof tgz_tag, tag);
    free(tag);
  }
  if (strcmp(tgz_tag, "new_brnx") == 0) {
    char media[kPathSize];
    if (::IsMultipleCD() && this_is_dvd == 0) {
      CopyText(media, sizeof media, input_path);
      int r = BrnxCaseForMultipleCD(media, temp_path, continue_flag);
      if (r != 32 && r != 1) {
        if (r == 0) return 0;
        snprintf(new_cd_num, kPathSize, "%d", r);
        return 30;
      }
    } else if (this_is_dvd == 1) {
      CopyText(media, sizeof media, cd_path);
      BrnxCaseForMultipleCD(media, temp_path, continue_flag);
    } else {
      if (BrnxCase(input_path, temp_path) == 0) return 0;
    }
  }
  return ContinueBrnxCase(product, sp, os, out_path);
}

int GetPackagePathEntry(const char *cd_path, const char *product, const char *sp,
                        const char *os, int continue_flag, char *out_path, char *new_cd_num) {
  Trace("CDINFO_GetPackagePath:: cd_path=", cd_path);
  if (out_path == nullptr || new_cd_num == nullptr || !RequestSafe(cd_path, product, sp, os))
    return 0;
  if (continue_flag == 1) {
    // The continuation names the new CD's files with slashes: the backslash
    // form would not name them on Linux and the continuation would fail.
    if (!FormatInto(products_file, sizeof products_file, "%s/DW/Products.conf", cd_path) ||
        !FormatInto(DW_Curent_File, sizeof DW_Curent_File, "%s/DW/dw.txt", cd_path)) {
      Trace("CDINFO_GetPackagePath:: cd_path too long, refused");
      return 0;
    }
    Trace("CDINFO_GetPackagePath:: continue_flag=1");
    int details = Get_Details();
    if (details == 0) return 0;
    if (details == 30) return 30;
    std::string temp = TempPath();
    if (!ShellSafe("temp_path", temp.c_str())) return 0;
    Trace("CDINFO_GetPackagePath:: temp_path <", temp.c_str(), ">");
    std::string work = temp + "/dw_tmp", staging = work + "/tgz";
    if (!WorkDirSafe(work) || !WorkDirSafe(staging)) return 0;
    char copy[kPathSize];
    CopyText(copy, sizeof copy, cd_path);
    GetPackagePath(copy, product, sp, os);
    CopyText(copy, sizeof copy, cd_path);
    int r = CopyFileToTmpDir(copy, temp.c_str());
    if (r == 32) return ContinueBrnxCase(product, sp, os, out_path);
    snprintf(new_cd_num, kPathSize, "%d", r);
    return 30;
  }
  Trace("CDINFO_GetPackagePath:: continue_flag=0");
  int r = GetPackagePath_Internal(cd_path, product, sp, os, new_cd_num, continue_flag, out_path);
  if (r == 0) return 0;
  if (r == 31 || r == 30) {
    Trace("Terminate:: CDINFO_GetPackagePath with new CD num: ", new_cd_num, " \n");
    return r;
  }
  Trace("Terminate:: CDINFO_GetPackagePath with", out_path, " \n");
  return 32;
}

}  // namespace cdinfo
}  // namespace tq

extern "C" TQAPI int CDINFO_GetPackagePath(const char *cd_path, const char *product,
                                           const char *sp, const char *os, int continue_flag,
                                           char *out_path, char *new_cd_num) {
  return tq::cdinfo::GetPackagePathEntry(cd_path, product, sp, os, continue_flag, out_path,
                                         new_cd_num);
}
extern "C" TQAPI int CDINFO_GetPackagePath_Internal(const char *cd_path, const char *product,
                                                    const char *sp, const char *os,
                                                    char *new_cd_num, int continue_flag,
                                                    char *out_path) {
  return tq::cdinfo::GetPackagePath_Internal(cd_path, product, sp, os, new_cd_num, continue_flag,
                                             out_path);
}
extern "C" TQAPI char *GetPackagePath(char *cd_path, const char *product, const char *sp,
                                      const char *os) {
  return tq::cdinfo::GetPackagePath(cd_path, product, sp, os);
}
extern "C" TQAPI char *PrintPath(char *line) { return tq::cdinfo::PrintPath(line); }
extern "C" TQAPI int IsArch(const char *cd_path, const char *product, const char *sp,
                            const char *os, char **out_file_name) {
  return tq::cdinfo::IsArch(cd_path, product, sp, os, out_file_name);
}
extern "C" TQAPI int CDINFO_IsTgz(const char *path, char **out_file_name, int brnx_flag) {
  return tq::cdinfo::IsTgz(path, out_file_name, brnx_flag);
}
