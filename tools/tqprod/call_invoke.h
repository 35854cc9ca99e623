// The generic invoker behind the call table: converts command-line words to
// the parameter types of a function, calls it, and converts the result and
// the output parameters back.
#pragma once

#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "call_table.h"

namespace tqtool {
namespace call {

constexpr size_t kOutBufSize = 65536;  // every char* output gets this much, zeroed

inline bool ParseInt(const std::string &s, long long lo, long long hi, long long &v) {
  char *end = nullptr;
  errno = 0;
  v = strtoll(s.c_str(), &end, 0);
  return !s.empty() && *end == '\0' && errno == 0 && v >= lo && v <= hi;
}

template <typename T> struct Slot;

template <> struct Slot<const char *> {
  static const char *Type() { return "str"; }
  bool TakesArg(char) const { return true; }
  std::string s;
  bool null = false;
  bool Load(const std::string &a, char, std::string &) {
    null = a == "@null";
    s = a;
    return true;
  }
  const char *Get() { return null ? nullptr : s.c_str(); }
  void Report(std::vector<CallOutput> &, int) {}
};

template <> struct Slot<char *> {
  static const char *Type() { return "buf"; }
  bool TakesArg(char role) const { return role == 'i'; }
  std::vector<char> buf = std::vector<char>(kOutBufSize, '\0');
  bool input = false;
  bool Load(const std::string &a, char role, std::string &why) {
    input = role == 'i';
    if (!input) return true;
    if (a.size() >= kOutBufSize) return why = "argument too long", false;
    std::copy(a.begin(), a.end(), buf.begin());
    return true;
  }
  char *Get() { return buf.data(); }
  void Report(std::vector<CallOutput> &outs, int index) {
    CallOutput o;
    o.name = "arg" + std::to_string(index + 1);
    o.str.assign(buf.data(), strnlen(buf.data(), buf.size()));
    outs.push_back(o);
  }
};

// Output string allocated by the library (char **), released after printing.
template <> struct Slot<char **> {
  static const char *Type() { return "out:str"; }
  bool TakesArg(char) const { return false; }
  char *p = nullptr;
  bool Load(const std::string &, char, std::string &) { return true; }
  char **Get() { return &p; }
  void Report(std::vector<CallOutput> &outs, int index) {
    CallOutput o;
    o.name = "arg" + std::to_string(index + 1);
    o.is_null = p == nullptr;
    if (p) o.str = p;
    free(p);
    p = nullptr;
    outs.push_back(o);
  }
};

template <typename N> struct NumSlot {
  static const char *Type() { return std::is_signed<N>::value ? "int" : "unsigned"; }
  bool TakesArg(char) const { return true; }
  N v = 0;
  bool Load(const std::string &a, char role, std::string &why) {
    long long lo = std::is_signed<N>::value ? (long long)INT32_MIN : 0;
    long long hi = std::is_signed<N>::value ? (long long)INT32_MAX : (long long)UINT32_MAX;
    if (std::is_same<N, char>::value) lo = CHAR_MIN, hi = CHAR_MAX;
    long long x;
    if (std::is_same<N, char>::value && a.size() == 1) x = a[0];
    else if (!ParseInt(a, lo, hi, x)) return why = "\"" + a + "\" is not a valid " + Type(), false;
    if (role == 'b' && (x < 0 || static_cast<unsigned long long>(x) > kOutBufSize))
      return why = "buffer size " + a + " is larger than " + std::to_string(kOutBufSize), false;
    v = static_cast<N>(x);
    return true;
  }
  N Get() { return v; }
  void Report(std::vector<CallOutput> &, int) {}
};
template <> struct Slot<int> : NumSlot<int> {};
template <> struct Slot<unsigned> : NumSlot<unsigned> {};
template <> struct Slot<char> : NumSlot<char> {
  static const char *Type() { return "char"; }
};

template <typename N> struct OutNumSlot {
  static const char *Type() { return "out:int"; }
  bool TakesArg(char) const { return false; }
  N v = 0;
  bool Load(const std::string &, char, std::string &) { return true; }
  N *Get() { return &v; }
  void Report(std::vector<CallOutput> &outs, int index) {
    CallOutput o;
    o.name = "arg" + std::to_string(index + 1);
    o.is_num = true;
    o.num = v;
    outs.push_back(o);
  }
};
template <> struct Slot<int *> : OutNumSlot<int> {};
template <> struct Slot<unsigned *> : OutNumSlot<unsigned> {};

template <typename R> void TakeResult(R r, Res res, CallResult &out) {
  out.has_value = true;
  if constexpr (std::is_pointer<R>::value) {
    out.is_null = r == nullptr;
    if (r) out.str = r;
    if (res == Res::kMalloc) free(const_cast<char *>(static_cast<const char *>(r)));
  } else if (res == Res::kRegStr) {
    const char *p = reinterpret_cast<const char *>(static_cast<intptr_t>(r));
    out.is_null = p == nullptr;
    if (p) out.str = p;
  } else {
    out.is_num = true;
    out.num = static_cast<long long>(r);
  }
}

inline int ExitFor(Res res, const CallResult &r) {
  switch (res) {
    case Res::kStatus: return r.num == 0 ? 0 : 1;
    case Res::kBool: return r.num != 0 ? 0 : 1;
    case Res::kOne: return r.num == 1 ? 0 : 1;
    case Res::kRegNum: return r.num != 0 ? 0 : 1;
    case Res::kStr:
    case Res::kMalloc:
    case Res::kRegStr: return r.is_null ? 1 : 0;
    case Res::kNumber:
    case Res::kVoid: return 0;
  }
  return 1;
}

inline char RoleAt(const CallRow &row, size_t i) {
  return row.roles && i < strlen(row.roles) ? row.roles[i] : '.';
}

template <auto F> struct Caller;

template <typename R, typename... A, R (*F)(A...)>
struct Caller<F> {
  using Slots = std::tuple<Slot<A>...>;

  static std::string Params(const CallRow &row) {
    std::string s;
    size_t i = 0;
    ((s += (i ? ", " : "") +
           std::string(RoleAt(row, i) == 'i' ? "str" : Slot<A>::Type()) +
           (RoleAt(row, i) == 'b' ? " size" : ""),
      ++i), ...);
    return s;
  }

  template <size_t... I>
  static bool Load(Slots &slots, const CallRow &row, const std::vector<std::string> &args,
                   std::index_sequence<I...>, std::string &why) {
    size_t next = 0;
    bool ok = true;
    auto one = [&](auto &slot, size_t index) {
      if (!ok) return;
      char role = RoleAt(row, index);
      std::string word;
      if (slot.TakesArg(role)) {
        if (next >= args.size()) {
          why = "missing argument " + std::to_string(next + 1);
          ok = false;
          return;
        }
        word = args[next++];
      }
      if (!slot.Load(word, role, why)) {
        why = "argument " + std::to_string(next) + ": " + why;
        ok = false;
      }
    };
    (void)one;  // unused when the function takes no arguments
    (one(std::get<I>(slots), I), ...);
    if (ok && next != args.size()) {
      why = "too many arguments (" + std::to_string(args.size()) + " given, " +
            std::to_string(next) + " expected)";
      ok = false;
    }
    return ok;
  }

  static int Invoke(const CallRow &row, const std::vector<std::string> &args, CallResult &out,
                    std::string &why) {
    Slots slots;
    if (!Load(slots, row, args, std::index_sequence_for<A...>(), why)) return 2;
    if constexpr (std::is_void<R>::value) {
      std::apply([](auto &...s) { F(s.Get()...); }, slots);
    } else {
      R r = std::apply([](auto &...s) { return F(s.Get()...); }, slots);
      TakeResult(r, row.res, out);
    }
    int index = 0;
    std::apply([&](auto &...s) { (s.Report(out.outputs, index++), ...); }, slots);
    out.exit_code = ExitFor(row.res, out);
    return 0;
  }
};

}  // namespace call
}  // namespace tqtool

// One table row: function, result kind, roles of its parameters.
#define TQ_CALL(fn, res, roles) \
  { #fn, ::tqtool::Res::res, roles, &::tqtool::call::Caller<&fn>::Invoke, \
    &::tqtool::call::Caller<&fn>::Params }
