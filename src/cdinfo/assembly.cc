// Hardened-OS package archive assembly: installer scripts, module packages
// of a set of CDs, and packing the staging directory /tmp/dw_tmp/tgz into
// /tmp/dw_tmp/<product>_<sp>_<os>.tgz.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cdinfo/cdinfo_internal.h"
#include "sysroot.h"

namespace tq {
namespace cdinfo {

std::string TempPath() { return SysPath("/tmp"); }

bool ShellSafe(const char *label, const char *value) {
  if (value == nullptr) {
    Trace("CDINFO_GetPackagePath:: refused value of", label, ": <NULL>");
    return false;
  }
  bool ok = value[0] != '-';
  for (const char *p = value; ok && *p; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         strchr("/._-+,:@%=", c) != nullptr;
  }
  if (!ok) Trace("CDINFO_GetPackagePath:: refused value of", label, "(shell characters): <", value, ">");
  return ok;
}

bool NameSafe(const char *label, const char *value) {
  if (!ShellSafe(label, value)) return false;
  if (strchr(value, '/') != nullptr || strstr(value, "..") != nullptr) {
    Trace("CDINFO_GetPackagePath:: refused value of", label, "(path in archive name): <", value,
          ">");
    return false;
  }
  return true;
}

bool WorkDirSafe(const std::string &path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return true;  // not there yet: created by us
  const char *why = nullptr;
  if (S_ISLNK(st.st_mode))
    why = "is a symbolic link";
  else if (!S_ISDIR(st.st_mode))
    why = "is not a directory";
  else if (st.st_uid != geteuid())
    why = "belongs to another user";
  else if (st.st_mode & S_IWOTH)
    why = "is writable by others";
  if (why == nullptr) return true;
  Trace("CDINFO_GetPackagePath:: refused work directory <", path.c_str(), ">:", why);
  return false;
}

namespace {

// The caller's PATH with only absolute directories: an empty, "." or
// relative entry would let a program in the staging directory (or on the
// medium) run in place of gtar, gzip, cp...
std::string SafePath() {
  const char *path = getenv("PATH");
  std::string out, rest = path ? path : "";
  for (size_t start = 0; start <= rest.size();) {
    size_t end = rest.find(':', start);
    if (end == std::string::npos) end = rest.size();
    std::string dir = rest.substr(start, end - start);
    if (!dir.empty() && dir[0] == '/') out += (out.empty() ? "" : ":") + dir;
    start = end + 1;
  }
  return out.empty() ? "/usr/local/bin:/usr/bin:/bin" : out;
}

}  // namespace

// As system(text), with the environment's PATH made safe for the command.
int RunShell(const char *label, const char *command) {
  char text[kPathSize];
  if (!FormatInto(text, sizeof text, "%s \"%s\"", "/bin/sh -c", command)) {
    Trace(label, "<command too long, refused>");
    return -1;
  }
  Trace(label, text, ">");
  fflush(stdout);
  std::vector<std::string> env_text;
  std::vector<char *> env;
  for (char **e = environ; *e != nullptr; ++e)
    if (strncmp(*e, "PATH=", 5) != 0) env.push_back(*e);
  env_text.push_back("PATH=" + SafePath());
  env.push_back(&env_text.back()[0]);
  env.push_back(nullptr);
  char sh[] = "sh", dash_c[] = "-c";
  char *argv[] = {sh, dash_c, text, nullptr};
  pid_t pid;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, env.data()) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

namespace {

constexpr const char kCommandTrace[] = "CDINFO_GetPackagePath:: command <";

// Runs a command formed from format; false when it could not be formed.
bool Run(const char *label, const char *format, const char *a, const char *b = nullptr) {
  char cmd[kPathSize];
  if (!FormatInto(cmd, sizeof cmd, format, a, b)) {
    Trace(label, "<command too long, refused>");
    return false;
  }
  RunShell(label, cmd);
  return true;
}

// A ProdList directory or file name must stay below the scripts directory:
// no absolute path and no "." or ".." component (either separator).
bool RelativeSafe(const char *name) {
  if (name == nullptr || *name == '\0') return false;
  char copy[kPathSize];
  if (!CopyText(copy, sizeof copy, name)) return false;
  char *parts[64];
  int n = SplitFields(copy, "/\\", parts, 64);
  for (int i = 0; i < n; ++i)
    if (strcmp(parts[i], ".") == 0 || strcmp(parts[i], "..") == 0) return false;
  return n > 0;
}

std::string Slashes(const char *path) {
  std::string s(path);
  for (char &c : s)
    if (c == '\\') c = '/';
  return s;
}

bool Readable(const char *path) {
  int fd = open(Slashes(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  return true;
}

}  // namespace

int SetWinSlashes(const char *src, char *dst) {
  if (src == nullptr || dst == nullptr) return 1;
  if (src != dst) memmove(dst, src, strlen(src) + 1);
  for (char *p = dst; *p; ++p)
    if (*p == '/') *p = '\\';
  return 1;
}

int ChompOrgInputPath(char *path) {
  if (path == nullptr) return 1;
  char *last = strrchr(path, '\\');
  if (last == nullptr) return 1;
  int first_len = static_cast<int>(last - path);
  std::string first(path, static_cast<size_t>(first_len));
  TraceF("ChompOrgInputPath:: Last occurence of '\\' found at %d", first_len);
  TraceF("ChompOrgInputPath:: After first strncpy: %s", first.c_str());
  TraceF("ChompOrgInputPath:: input_path before second strncpy %s", first.c_str());
  if (this_is_dvd == 1) {
    path[first_len] = '\0';
    return 1;
  }
  size_t second = first.rfind('\\');
  if (second == std::string::npos) return 1;
  TraceF("ChompOrgInputPath:: Last occurence of '\\' found at %d", static_cast<int>(second));
  TraceF("ChompOrgInputPath:: After second copy: %s", first.substr(0, second).c_str());
  path[second] = '\0';
  return 1;
}

int BrnxCase(const char *input_path, const char *temp_path) {
  if (!ShellSafe("input_path", input_path) || !ShellSafe("temp_path", temp_path)) return 0;
  Trace("CDINFO_GetPackagePath:: create scripts dir for brnx");
  if (!Run(kCommandTrace, "mkdir %s/dw_tmp/tgz/scripts", temp_path)) return 0;
  Trace("CDINFO_GetPackagePath:: copy linux dir for brnx");
  if (!Run(kCommandTrace, "cp -r %s/../../linux %s/dw_tmp/tgz/scripts/linux", input_path,
           temp_path))
    return 0;
  char conf[kPathSize];
  bool whole = FormatInto(conf, sizeof conf, "%s/../../wrappers/Wrapper.conf", input_path) &&
               Readable(conf);
  Trace("CDINFO_GetPackagePath:: copy wrappers\\unix dir for brnx");
  if (whole) {
    if (!Run(kCommandTrace, "cp -r %s/../../wrappers %s/dw_tmp/tgz/scripts/wrappers", input_path,
             temp_path))
      return 0;
  } else {
    // "scripts/wrappers" must exist for the copy of "wrappers/unix" into it
    // to land as scripts/wrappers/unix; nothing else creates it.
    if (!Run(kCommandTrace, "mkdir %s/dw_tmp/tgz/scripts/wrappers", temp_path) ||
        !Run(kCommandTrace, "cp -r %s/../../wrappers/unix %s/dw_tmp/tgz/scripts/wrappers/unix",
             input_path, temp_path))
      return 0;
  }
  Trace("CDINFO_GetPackagePath:: copy UnixInstallScript file for brnx");
  if (!Run(kCommandTrace, "cp %s/../../UnixInstallScript %s/dw_tmp/tgz/scripts/UnixInstallScript",
           input_path, temp_path))
    return 0;
  Trace("CDINFO_GetPackagePath:: copy linux dir for brnx");
  if (!Run(kCommandTrace, "cp  %s/../../linux/Actions/CheckPackage %s/dw_tmp/tgz/scripts/CheckPackage",
           input_path, temp_path))
    return 0;
  return 1;
}

int CopyFileToTmpDir(const char *drive_path, const char *temp_path) {
  int next_cd = 1;  // 1 stands for none
  char dest_path[kPathSize];
  if (drive_path == nullptr || temp_path == nullptr ||
      !FormatInto(dest_path, sizeof dest_path, "%s\\dw_tmp\\tgz\\scripts", temp_path)) {
    Trace("CopyFileToTmpDir:: refused paths");
    return 32;
  }
  Trace("Enter CopyFileToTmpDir");
  int count = num_of_products_in_file;
  if (count > CDINFO_MAX_PRODUCTS) count = CDINFO_MAX_PRODUCTS;
  if (count < 1) return 32;
  long current_cd = strtol(CDNUM, nullptr, 10);
  for (int i = 0; i < count; ++i) {
    const ProductEntry &e = ProdList[i];
    if (e.module != 1) continue;
    if (!RelativeSafe(e.dir) ||
        (strcmp(e.file_name, "NONE") != 0 && !RelativeSafe(e.file_name))) {
      Trace("CopyFileToTmpDir:: refused package location of", e.name, ":", e.dir, e.file_name);
      continue;
    }
    char src_pkg_path[kPathSize], full_dest_path[kPathSize], src[kPathSize], target[kPathSize];
    CopyText(src_pkg_path, sizeof src_pkg_path, e.dir);
    SetWinSlashes(src_pkg_path, src_pkg_path);
    TraceF("CopyFileToTmpDir:: src_pkg_path after setting the slashes = %s", src_pkg_path);
    if (!FormatInto(full_dest_path, sizeof full_dest_path, "%s\\%s", dest_path, src_pkg_path)) {
      Trace("CopyFileToTmpDir:: refused long path for", e.name);
      continue;
    }
    TraceF("full_dest_path after adding the src dir = %s", full_dest_path);
    bool on_this_cd = false;
    if (strcmp(e.file_name, "NONE") != 0) {
      if (!FormatInto(src, sizeof src, "%s\\%s\\%s", drive_path, src_pkg_path, e.file_name) ||
          !FormatInto(target, sizeof target, "%s\\%s", full_dest_path, e.file_name)) {
        Trace("CopyFileToTmpDir:: refused long path for", e.name);
        continue;
      }
      TraceF("CopyFileToTmpDir:: src_pkg_path after adding the driver and the file name = %s", src);
      TraceF("src_pkg_path=%s", src);
      TraceF("full_dest_path=%s", full_dest_path);
      TraceF("dest_path=%s", dest_path);
      if (tqFileExist(target)) {
        TraceF("the file %s already exists, skiping to next product", target);
        continue;
      }
      if (tqFileExist(src)) {
        Trace(tqDirCopy(src, full_dest_path, 1) ? "file copied" : "file not copied");
        continue;
      }
    } else {
      Trace("CopyFileToTmpDir:: file name is null, not adding it to the src_path");
      if (!FormatInto(src, sizeof src, "%s\\%s", drive_path, src_pkg_path)) continue;
      TraceF("src_pkg_path=%s", src);
      TraceF("full_dest_path=%s", full_dest_path);
      TraceF("dest_path=%s", dest_path);
      TraceF("the file %s doesn't exists, continue to copy", src);
      if (tqIsDir(full_dest_path)) {
        TraceF("the directory %s already exists, skiping to next product", src);
        continue;
      }
      // A module without a file name is its whole directory: copied when
      // this CD holds it, so that the assembly completes.
      if (tqIsDir(src)) {
        std::string parent(full_dest_path);
        parent.resize(parent.find_last_of('\\'));
        Trace(tqDirCopy(src, parent.c_str(), 1) ? "file copied" : "file not copied");
        on_this_cd = true;
      }
    }
    if (on_this_cd) continue;
    TraceF("CopyFileToTmpDir:: The product %s is not on this CD (cd_num %s)", e.name, CDNUM);
    if (e.cd_number > current_cd && (next_cd == 1 || next_cd > e.cd_number)) next_cd = e.cd_number;
  }
  return next_cd == 1 ? 32 : next_cd;
}

int BrnxCaseForMultipleCD(char *input_path, const char *temp_path, int continue_flag) {
  TraceF("CDINFO_BrnxCaseForMultipleCD:: continue_flag=%d", continue_flag);
  if (input_path == nullptr || temp_path == nullptr) return 0;
  if (continue_flag == 0) {
    if (this_is_dvd == 0) {
      // The package path lies two levels below the media root. It is cut
      // at backslashes, so the slash path is turned into the backslash form
      // first; the platform's utilities accept either separator.
      SetWinSlashes(input_path, input_path);
      if (ChompOrgInputPath(input_path) != 1) return 0;
    }
    const char *short_input_path = input_path;
    TraceF("CDINFO_BrnxCaseForMultipleCD:: short_input_path=%s", short_input_path);
    char scripts[kPathSize], src[kPathSize], dst[kPathSize], linux_dir[kPathSize];
    if (!FormatInto(scripts, sizeof scripts, "%s\\dw_tmp\\tgz\\scripts", temp_path) ||
        !FormatInto(linux_dir, sizeof linux_dir, "%s\\dw_tmp\\tgz\\scripts\\linux", temp_path) ||
        !FormatInto(src, sizeof src, "%s\\wrappers\\Wrapper.conf", short_input_path)) {
      Trace("CDINFO_BrnxCaseForMultipleCD:: refused long path");
      return 0;
    }
    Trace(tqDirCreate(scripts) ? "CDINFO_BrnxCaseForMultipleCD:: create scripts dir for brnx"
                               : "CDINFO_BrnxCaseForMultipleCD:: faild create scripts dir for brnx");
    // Opened as a file; the backslashes are read as separators here too.
    bool whole = Readable(src);
    int r;
    if (whole) {
      FormatInto(src, sizeof src, "%s\\wrappers", short_input_path);
      CopyText(dst, sizeof dst, scripts);
    } else {
      FormatInto(src, sizeof src, "%s\\wrappers\\unix", short_input_path);
      FormatInto(dst, sizeof dst, "%s\\wrappers\\", scripts);
    }
    r = tqDirCopy(src, dst, 1);
    TraceF("copied from %s to %s with result=%d", src, dst, r);
    if (FormatInto(src, sizeof src, "%s\\UnixInstallScript", short_input_path)) {
      r = tqFileCopy(src, scripts, 1);
      TraceF("copied from %s to %s with result=%d", src, scripts, r);
    }
    if (FormatInto(src, sizeof src, "%s\\linux\\Actions\\CheckPackage", short_input_path) &&
        FormatInto(dst, sizeof dst, "%s\\CheckPackage", scripts)) {
      r = tqFileCopy(src, dst, 1);
      TraceF("copied from %s to %s with result=%d", src, dst, r);
    }
    if (tqFileExist(linux_dir) && !tqIsDirEx(linux_dir, 0)) {
      TraceF("Found linux file. Its full path is: %s", linux_dir);
      if (!tqFileRemove(linux_dir)) {
        TraceF("Failed to remove file: %s", linux_dir);
        Trace("linux directory cannot be copied - a file named linux already exist");
      }
    }
    Trace(tqDirCreate(linux_dir) ? "CDINFO_BrnxCaseForMultipleCD:: create scripts dir for brnx"
                                 : "CDINFO_BrnxCaseForMultipleCD:: faild create scripts dir for brnx");
    if (FormatInto(src, sizeof src, "%s\\linux\\Actions", short_input_path) &&
        FormatInto(dst, sizeof dst, "%s\\", linux_dir)) {
      r = tqDirCopy(src, dst, 1);
      TraceF("copied from %s to %s with result=%d", src, dst, r);
    }
  }
  // A continuation hands the media path it was given straight on.
  return CopyFileToTmpDir(input_path, temp_path);
}

int ContinueBrnxCase(const char *product, const char *sp, const char *os, char *out_path) {
  const char kLabel[] = "ContinueBrnxCase:: command <";
  std::string temp = TempPath();
  if (out_path == nullptr || !NameSafe("product", product) || !NameSafe("sp", sp) ||
      !NameSafe("os", os) || !ShellSafe("temp_path", temp.c_str()))
    return 0;
  std::string work = temp + "/dw_tmp", staging = work + "/tgz";
  if (!WorkDirSafe(work) || !WorkDirSafe(staging)) return 0;
  char archive[kPathSize];
  if (!FormatInto(archive, sizeof archive, "%s/dw_tmp/%s_%s_%s.tgz", temp.c_str(), product, sp,
                  os)) {
    Trace("ContinueBrnxCase:: archive path too long, refused");
    return 0;
  }
  Trace("ContinueBrnxCase:: Changing directory to dw_tmp\\tgz directory and creating gtar");
  if (chdir(staging.c_str()) != 0) {
    Trace("ContinueBrnxCase:: failed to change current dir to: <", staging.c_str(), ">. Exiting.");
    return 0;
  }
  struct Step {
    const char *command, *retry_text;
  } steps[] = {
      {"gtar -cf tqimage.tar . --exclude=tqimage.tar --remove-files",
       ">, try to search for gtar under Actions."},
      {"gzip tqimage.tar", ">, try to search for gzip under Actions."},
  };
  for (const Step &s : steps) {
    if (s.command == steps[1].command) Trace("ContinueBrnxCase:: Creating gzip ");
    char text[kPathSize];
    snprintf(text, sizeof text, "/bin/sh -c \"%s\"", s.command);
    if (RunShell(kLabel, s.command) != 0) {
      Trace("ContinueBrnxCase:: failed to run command <", text, s.retry_text);
      if (RunShell(kLabel, s.command) != 0) {
        Trace("ContinueBrnxCase:: failed to run command <", text, "> exiting.");
        return 0;
      }
    }
  }
  if (chdir(work.c_str()) != 0) Trace("ContinueBrnxCase:: failed to change current dir to: <", work.c_str(), ">");
  char cmd[kPathSize];
  snprintf(cmd, sizeof cmd, "mv -f tgz/tqimage.tar.gz %s_%s_%s.tgz", product, sp, os);
  RunShell("ContinueBrnxCase:: move command <", cmd);
  snprintf(cmd, sizeof cmd, "rm -rf %s/dw_tmp/tgz/DW", temp.c_str());
  RunShell("ContinueBrnxCase:: remove dir command <", cmd);
  snprintf(cmd, sizeof cmd, "rm -rf %s/dw_tmp/tgz", temp.c_str());
  RunShell("ContinueBrnxCase:: remove dir command <", cmd);
  Trace("ContinueBrnxCase::temp_path=", temp.c_str());
  Trace("ContinueBrnxCase::path=", archive);
  Trace("Exit::ContinueBrnxCase with path=", archive);
  Facility("Exit::ContinueBrnxCase\n");
  CopyText(out_path, kPathSize, archive);
  return 32;
}

}  // namespace cdinfo
}  // namespace tq

extern "C" TQAPI int CDINFO_BrnxCase(const char *input_path, const char *temp_path) {
  return tq::cdinfo::BrnxCase(input_path, temp_path);
}
extern "C" TQAPI int CDINFO_BrnxCaseForMultipleCD(char *input_path, const char *temp_path,
                                                  int continue_flag) {
  return tq::cdinfo::BrnxCaseForMultipleCD(input_path, temp_path, continue_flag);
}
extern "C" TQAPI int ChompOrgInputPath(char *path) { return tq::cdinfo::ChompOrgInputPath(path); }
extern "C" TQAPI int CopyFileToTmpDir(const char *drive_path, const char *temp_path) {
  return tq::cdinfo::CopyFileToTmpDir(drive_path, temp_path);
}
extern "C" TQAPI int SetWinSlashes(const char *src, char *dst) {
  return tq::cdinfo::SetWinSlashes(src, dst);
}
extern "C" TQAPI int ContinueBrnxCase(const char *cd_path, const char *product, const char *sp,
                                      const char *os, char *out_path) {
  (void)cd_path;  // not used: the staging directory is fixed
  return tq::cdinfo::ContinueBrnxCase(product, sp, os, out_path);
}
