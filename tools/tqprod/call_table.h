// `tqprod call FUNCTION [ARGS...]`: one table of the library's exported
// getters and setters. Each row names the function; its argument and result
// types come from the declaration itself (template deduction), the row adds
// only what the C types cannot say: how to read the result and which char*
// parameters are inputs.
#pragma once

#include <string>
#include <vector>

namespace tqtool {

// How a result is shown and which exit code it gives.
enum class Res {
  kStatus,  // int: 0 success (exit 0), anything else failure (exit 1)
  kBool,    // int: non-zero true (exit 0), 0 false (exit 1)
  kOne,     // int: 1 success (exit 0), anything else failure (exit 1)
  kNumber,  // int: a value; always exit 0
  kStr,     // string owned by the library or the service; NULL exits 1
  kMalloc,  // string the caller frees; NULL exits 1
  kRegNum,  // service result holding a number; 0 (absent) exits 1
  kRegStr,  // service result holding a string pointer; NULL exits 1
  kVoid,
};

struct CallOutput {
  std::string name;  // "arg3"
  bool is_num = false, is_null = false;
  long long num = 0;
  std::string str;
};

struct CallResult {
  bool has_value = false, is_num = false, is_null = false;
  long long num = 0;
  std::string str;
  std::vector<CallOutput> outputs;
  int exit_code = 0;
};

struct CallRow {
  const char *name;
  Res res;
  // One letter per parameter where it matters: 'i' a char* that is an input
  // (filled from the argument; the library may change it), 'b' an integer
  // that is the size of the char* output buffer. Empty: char* parameters
  // are outputs, everything else an input.
  const char *roles;
  // 0 done; 2 usage error (why says which argument).
  int (*invoke)(const CallRow &row, const std::vector<std::string> &args, CallResult &out,
                std::string &why);
  std::string (*params)(const CallRow &row);  // "str path, int, out:str"
};

const std::vector<CallRow> &CallTable();
const CallRow *FindCall(const std::string &name);
const char *ResName(Res r);

}  // namespace tqtool
