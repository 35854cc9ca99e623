// .reg files: the "Windows Registry Editor Version 5.00" format (UTF-8 or
// UTF-16LE text; hex(1), hex(2) and hex(7) data in UTF-16LE) and the older
// "REGEDIT4" format (8-bit text and data). Only HKEY_LOCAL_MACHINE keys.
#pragma once

#include <string>
#include <vector>

#include "registry_io.h"

namespace tqtool {

enum class RegFormat { kV5, kV4 };

struct RegOp {
  enum Kind { kKey, kDeleteKey, kValue, kDeleteValue } kind;
  std::string key;  // normalized, without the root name
  Value value;      // kValue: the value; kDeleteValue: its name
  unsigned line;    // 1-based line of the file, for messages
};

struct RegFile {
  RegFormat format = RegFormat::kV5;
  std::vector<RegOp> ops;
};

// Parses a whole file before anything is written. On failure `error` reads
// "line N: <problem>".
bool ParseReg(const std::string &bytes, RegFile &out, std::string &error);

// The text of a subtree in the given format (UTF-8 for version 5), ending
// with a blank line.
std::string WriteReg(const KeyNode &tree, RegFormat format);

// UTF-8 (bytes that are not UTF-8 read as Latin-1) to UTF-16LE and back.
std::string Utf8ToUtf16le(const std::string &s);
bool Utf16leToUtf8(const std::string &s, std::string &out);

}  // namespace tqtool
