// Internal interface of the registry access core, shared by every subsystem
// that reads or writes the product registry.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "tqplatform.h"

namespace tq {

// Product-family root: every product key lives below it.
constexpr const char kRoot[] = "SOFTWARE\\Tarquel";
constexpr const char kPelloraPath[] = "SOFTWARE\\Tarquel\\Pellora";
constexpr const char kTQSharedPath[] = "SOFTWARE\\Tarquel\\TQShared";
constexpr const char kMrkPath[] = "SOFTWARE\\Tarquel\\MRK";
// Key paths are formed in buffers of this size; longer paths are refused.
constexpr size_t kPathMax = 1024;
// Capacity of the version names read from "CurrentVersion".
constexpr size_t kVersionMax = 1024;

// Joins non-null parts with single backslashes. False (and out unchanged
// semantics undefined) when a part is null or the result would not fit a
// kPathMax buffer with its terminator.
bool JoinKeyPath(std::string &out, std::initializer_list<const char *> parts);

// Root handle of HKEY_LOCAL_MACHINE.
inline TQHKEY Root() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }

// An open registry key that closes itself.
class RegKey {
 public:
  RegKey() = default;
  explicit RegKey(TQHKEY h) : h_(h), open_(true) {}
  RegKey(const RegKey &) = delete;
  RegKey &operator=(const RegKey &) = delete;
  RegKey(RegKey &&o) noexcept : h_(o.h_), open_(o.open_) { o.open_ = false; }
  RegKey &operator=(RegKey &&o) noexcept {
    if (this != &o) {
      Close();
      h_ = o.h_;
      open_ = o.open_;
      o.open_ = false;
    }
    return *this;
  }
  ~RegKey() { Close(); }

  // Opens path below parent; true on success.
  bool Open(TQHKEY parent, const char *path);
  // Takes ownership of an already opened handle.
  void Adopt(TQHKEY h) { Close(); h_ = h; open_ = true; }
  TQHKEY get() const { return h_; }
  bool is_open() const { return open_; }
  void Close() {
    if (open_) TqkRegCloseKey(h_);
    open_ = false;
  }

 private:
  TQHKEY h_ = 0;
  bool open_ = false;
};

// Opens keyPath below the root and, when versioned, its version subkey (the
// effective version, else "CurrentVersion", overridden by
// OVER_WRITE_CURRENT_VER), creating that subkey when missing. version, when
// given, receives the version used (kVersionMax bytes; empty when none).
// 0 with *out written, or -1.
int OpenProductKey(const char *keyPath, TQHKEY *out, char *version, int versioned);
// Same, into a self-closing key.
int OpenProductKey(const char *keyPath, RegKey &key, char *version, int versioned);

// Writes a value through OpenProductKey. -1 only when the key (or its
// version subkey) cannot be opened; the outcome of the write is not reported.
int SetTypedValue(const char *keyPath, const char *valueName, unsigned type,
                  const void *data, unsigned size, int versioned);
int SetDwordValue(const char *keyPath, const char *valueName, uint32_t value, int versioned);

// out (kPathMax bytes) receives keyPath followed by "\<version>" when a
// version applies to it through OpenProductKey.
void BuildVersionedKeyPath(const char *keyPath, char *out);

// Effective-version slot for an absolute key path (Mirrak or Pellora key,
// exact byte comparison), or null.
char **LookupEffectiveVersionSlot(const char *keyPath);
// -1 when the path has no slot; else stores a copy of version (null empties).
int StoreEffectiveVersion(const char *keyPath, const char *version);

// Releases the cached firewall key path; the next TQPROD_GetRegMrkPath
// creates it again.
void ResetMrkPathCache();

// Reads a string (or multi-string) value the way the service's one-call
// reader resolves keys (versioned: below "CurrentVersion", else the key
// itself; nothing is created). Null when absent or when the value is a
// number. The text stays valid at least until the next call of this function
// (a small ring of buffers); multi-strings end with an empty string.
const char *ReadServiceString(const char *keyPath, const char *valueName, int versioned);

// "CurrentVersion" of the product, or null (see TQPROD_GetCurrentVersion).
const char *CurrentVersion(const char *product);

// Product-relative path of the reserved key: product, its current version
// when versioned, "reserved", subkey when non-null. False when versioned and
// no current version, or on a null product or over-long path.
bool RelativeReservedPath(std::string &out, const char *product, const char *subkey,
                          int versioned);

}  // namespace tq
