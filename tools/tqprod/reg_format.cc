#include "reg_format.h"

#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace tqtool {
namespace {

const char kV5Header[] = "Windows Registry Editor Version 5.00";
const char kV4Header[] = "REGEDIT4";

std::string Trim(const std::string &s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Length of the UTF-8 sequence at s[i], or 0 when it is not valid UTF-8.
size_t Utf8Len(const std::string &s, size_t i, uint32_t &cp) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n;
  if (c < 0x80) return cp = c, 1;
  if ((c & 0xe0) == 0xc0) n = 2, cp = c & 0x1f;
  else if ((c & 0xf0) == 0xe0) n = 3, cp = c & 0x0f;
  else if ((c & 0xf8) == 0xf0) n = 4, cp = c & 0x07;
  else return 0;
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xc0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3f);
  }
  static const uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff)) return 0;
  return n;
}

bool IsUtf8(const std::string &s) {
  uint32_t cp;
  for (size_t i = 0; i < s.size();) {
    size_t n = Utf8Len(s, i, cp);
    if (!n) return false;
    i += n;
  }
  return true;
}

void PutUtf8(uint32_t cp, std::string &out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else {
    out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  }
}

bool Fail(std::string &error, unsigned line, const std::string &what) {
  error = "line " + std::to_string(line) + ": " + what;
  return false;
}

// Quoted text starting at s[pos] == '"'; pos ends after the closing quote.
bool ParseQuoted(const std::string &s, size_t &pos, std::string &out, std::string &problem) {
  out.clear();
  for (++pos; pos < s.size(); ++pos) {
    char c = s[pos];
    if (c == '"') {
      ++pos;
      return true;
    }
    if (c == '\\') {
      if (pos + 1 >= s.size()) break;
      char e = s[++pos];
      if (e != '\\' && e != '"') {
        problem = std::string("bad escape \\") + e + " (only \\\\ and \\\" are allowed)";
        return false;
      }
      out.push_back(e);
    } else {
      out.push_back(c);
    }
  }
  problem = "unterminated quoted text";
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(const std::string &s, std::string &out, std::string &problem) {
  out.clear();
  std::string t = Trim(s);
  if (t.empty()) return true;
  size_t pos = 0;
  while (true) {
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
    size_t start = pos;
    int v = 0;
    while (pos < t.size() && HexDigit(t[pos]) >= 0 && pos - start < 3) v = v * 16 + HexDigit(t[pos++]);
    if (pos == start || pos - start > 2) {
      problem = "wrong hex byte \"" + t.substr(start, t.find(',', start) - start) + "\"";
      return false;
    }
    out.push_back(static_cast<char>(v));
    while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
    if (pos == t.size()) return true;
    if (t[pos] != ',') {
      problem = std::string("wrong hex data at \"") + t.substr(pos, 8) + "\"";
      return false;
    }
    ++pos;
    if (pos == t.size()) return true;  // a trailing comma
  }
}

bool CheckKey(const std::string &key, std::string &problem) {
  size_t depth = 0, pos = 0;
  while (!key.empty()) {
    size_t next = key.find('\\', pos);
    std::string part = key.substr(pos, next == std::string::npos ? std::string::npos : next - pos);
    if (part.size() > TQREG_MAX_NAME)
      return problem = "key name \"" + part.substr(0, 40) + "...\" longer than 255 characters", false;
    ++depth;
    if (next == std::string::npos) break;
    pos = next + 1;
  }
  if (depth > TQREG_MAX_DEPTH) return problem = "key deeper than 512 levels", false;
  return true;
}

bool ParseData(const std::string &data, RegFormat format, Value &v, std::string &problem) {
  if (!data.empty() && data[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(data, pos, text, problem)) return false;
    if (!Trim(data.substr(pos)).empty()) return problem = "text after the closing quote", false;
    v.type = TQREG_SZ;
    v.data = text + '\0';
    return true;
  }
  if (data.compare(0, 6, "dword:") == 0) {
    std::string digits = Trim(data.substr(6));
    if (digits.empty() || digits.size() > 8) return problem = "a dword takes 1 to 8 hex digits", false;
    uint32_t n = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return problem = "wrong hex digit in dword:" + digits, false;
      n = n * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    v.type = TQREG_DWORD;
    v.data.assign(reinterpret_cast<const char *>(&n), 4);
    return true;
  }
  if (data.compare(0, 3, "hex") == 0) {
    size_t colon = data.find(':');
    if (colon == std::string::npos) return problem = "hex data without ':'", false;
    std::string tag = data.substr(3, colon - 3);
    unsigned type = 3;
    if (!tag.empty()) {
      if (tag.size() < 3 || tag.front() != '(' || tag.back() != ')' || tag.size() > 10)
        return problem = "unknown value type \"hex" + tag + "\"", false;
      type = 0;
      for (size_t i = 1; i + 1 < tag.size(); ++i) {
        if (HexDigit(tag[i]) < 0) return problem = "unknown value type \"hex" + tag + "\"", false;
        type = type * 16 + static_cast<unsigned>(HexDigit(tag[i]));
      }
    }
    std::string bytes;
    if (!ParseHexBytes(data.substr(colon + 1), bytes, problem)) return false;
    // Text types are UTF-16LE in version 5 files; the registry keeps 8-bit text.
    if (format == RegFormat::kV5 && (type == 1 || type == 2 || type == TQREG_MULTI_SZ)) {
      std::string text;
      if (!Utf16leToUtf8(bytes, text)) return problem = "hex(" + std::to_string(type) +
                                               ") data is not UTF-16LE text", false;
      bytes = text;
    }
    if (type == TQREG_DWORD && bytes.size() != 4) return problem = "hex(4) takes exactly 4 bytes", false;
    v.type = type;
    v.data = bytes;
    return true;
  }
  return problem = "unknown value type in \"" + data.substr(0, 20) + "\"", false;
}

void AppendHex(std::string &line, std::string &out, const std::string &bytes) {
  char buf[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    snprintf(buf, sizeof buf, "%02x", static_cast<unsigned char>(bytes[i]));
    line += buf;
    if (i + 1 < bytes.size()) {
      line += ",";
      if (line.size() > 76) {
        out += line + "\\\n";
        line = "  ";
      }
    }
  }
}

std::string QuoteText(const std::string &s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

bool PlainText(const std::string &data, RegFormat format) {
  if (data.empty() || data.back() != '\0') return false;
  std::string text = data.substr(0, data.size() - 1);
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7f) return false;
  return format == RegFormat::kV4 || IsUtf8(text);
}

void WriteValueLine(const Value &v, RegFormat format, std::string &out) {
  std::string line = v.name.empty() ? "@=" : QuoteText(v.name) + "=";
  if (v.type == TQREG_SZ && PlainText(v.data, format)) {
    out += line + QuoteText(v.data.substr(0, v.data.size() - 1)) + "\n";
    return;
  }
  if (v.type == TQREG_DWORD && v.data.size() == 4) {
    uint32_t n;
    memcpy(&n, v.data.data(), 4);
    char buf[16];
    snprintf(buf, sizeof buf, "dword:%08x", n);
    out += line + buf + "\n";
    return;
  }
  std::string bytes = v.data;
  if (format == RegFormat::kV5 && (v.type == 1 || v.type == 2 || v.type == TQREG_MULTI_SZ))
    bytes = Utf8ToUtf16le(bytes);
  char tag[16];
  if (v.type == 3) snprintf(tag, sizeof tag, "hex:");
  else snprintf(tag, sizeof tag, "hex(%x):", v.type);
  line += tag;
  AppendHex(line, out, bytes);
  out += line + "\n";
}

void WriteKey(const KeyNode &node, RegFormat format, std::string &out) {
  out += "[HKEY_LOCAL_MACHINE" + (node.path.empty() ? "" : "\\" + node.path) + "]\n";
  for (const Value &v : node.values) WriteValueLine(v, format, out);
  out += "\n";
  for (const KeyNode &c : node.children) WriteKey(c, format, out);
}

}  // namespace

std::string Utf8ToUtf16le(const std::string &s) {
  std::string out;
  auto put = [&out](uint32_t u) {
    out.push_back(static_cast<char>(u & 0xff));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    size_t n = Utf8Len(s, i, cp);
    if (!n) cp = static_cast<unsigned char>(s[i]), n = 1;  // Latin-1 fallback
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      put(0xd800 | (cp >> 10));
      put(0xdc00 | (cp & 0x3ff));
    } else {
      put(cp);
    }
  }
  return out;
}

bool Utf16leToUtf8(const std::string &s, std::string &out) {
  out.clear();
  if (s.size() % 2) return false;
  for (size_t i = 0; i < s.size(); i += 2) {
    uint32_t u = static_cast<unsigned char>(s[i]) | static_cast<unsigned char>(s[i + 1]) << 8;
    if (u >= 0xd800 && u <= 0xdbff) {
      if (i + 3 >= s.size()) return false;
      uint32_t l = static_cast<unsigned char>(s[i + 2]) | static_cast<unsigned char>(s[i + 3]) << 8;
      if (l < 0xdc00 || l > 0xdfff) return false;
      u = 0x10000 + ((u - 0xd800) << 10) + (l - 0xdc00);
      i += 2;
    } else if (u >= 0xdc00 && u <= 0xdfff) {
      return false;
    }
    PutUtf8(u, out);
  }
  return true;
}

bool ParseReg(const std::string &raw, RegFile &out, std::string &error) {
  std::string bytes = raw;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xff &&
      static_cast<unsigned char>(bytes[1]) == 0xfe) {
    if (!Utf16leToUtf8(bytes.substr(2), bytes)) return Fail(error, 1, "broken UTF-16LE text");
  } else if (bytes.compare(0, 3, "\xef\xbb\xbf") == 0) {
    bytes = bytes.substr(3);
  }
  std::vector<std::string> lines;
  for (size_t pos = 0; pos <= bytes.size();) {
    size_t end = bytes.find('\n', pos);
    if (end == std::string::npos) end = bytes.size();
    std::string l = bytes.substr(pos, end - pos);
    if (!l.empty() && l.back() == '\r') l.pop_back();
    lines.push_back(l);
    pos = end + 1;
  }
  size_t i = 0;
  while (i < lines.size() && Trim(lines[i]).empty()) ++i;
  if (i == lines.size()) return Fail(error, 1, "empty file: no \"" + std::string(kV5Header) + "\" or REGEDIT4 header");
  std::string header = Trim(lines[i]);
  if (header == kV5Header) out.format = RegFormat::kV5;
  else if (header == kV4Header) out.format = RegFormat::kV4;
  else return Fail(error, static_cast<unsigned>(i + 1), "not a .reg file: the header must be \"" +
                   std::string(kV5Header) + "\" or \"REGEDIT4\"");
  std::string key;
  bool have_key = false, key_deleted = false;
  for (++i; i < lines.size(); ++i) {
    unsigned lineno = static_cast<unsigned>(i + 1);
    std::string l = Trim(lines[i]);
    if (l.empty() || l[0] == ';') continue;
    // A name or text cannot hold a NUL: "a\0b" would be written as "a".
    if (l.find('\0') != std::string::npos)
      return Fail(error, lineno, "NUL character in a key, a value name or a string");
    if (l[0] == '[') {
      if (l.back() != ']') return Fail(error, lineno, "key line without closing ']'");
      std::string name = l.substr(1, l.size() - 2);
      bool del = !name.empty() && name[0] == '-';
      if (del) name = name.substr(1);
      std::string root = name.substr(0, name.find('\\'));
      if (root != "HKEY_LOCAL_MACHINE" && root != "HKLM")
        return Fail(error, lineno, "key \"" + name + "\" is outside HKEY_LOCAL_MACHINE");
      std::string problem;
      if (!NormalizeKey(name, key, problem) || !CheckKey(key, problem)) return Fail(error, lineno, problem);
      have_key = true;
      key_deleted = del;
      out.ops.push_back({del ? RegOp::kDeleteKey : RegOp::kKey, key, Value(), lineno});
      continue;
    }
    if (l[0] != '"' && l[0] != '@') return Fail(error, lineno, "not a key, a value or a comment");
    if (!have_key) return Fail(error, lineno, "value before the first key");
    if (key_deleted) return Fail(error, lineno, "value under a key that this file deletes");
    Value v;
    size_t pos = 0;
    std::string problem;
    if (l[0] == '@') {
      pos = 1;
    } else if (!ParseQuoted(l, pos, v.name, problem)) {
      return Fail(error, lineno, "value name: " + problem);
    }
    if (v.name.size() > TQREG_MAX_VALUE_NAME)
      return Fail(error, lineno, "value name longer than 16383 characters");
    while (pos < l.size() && (l[pos] == ' ' || l[pos] == '\t')) ++pos;
    if (pos >= l.size() || l[pos] != '=') return Fail(error, lineno, "missing '=' after the value name");
    std::string data = Trim(l.substr(pos + 1));
    // Hex data may continue on following lines after a trailing backslash.
    while (data.compare(0, 3, "hex") == 0 && !data.empty() && data.back() == '\\') {
      data.pop_back();
      if (i + 1 >= lines.size() || Trim(lines[i + 1]).empty())
        return Fail(error, lineno, "hex data continued past the end of the value (truncated line)");
      data += Trim(lines[++i]);
    }
    if (data == "-") {
      v.type = 0;
      out.ops.push_back({RegOp::kDeleteValue, key, v, lineno});
      continue;
    }
    if (!ParseData(data, out.format, v, problem)) return Fail(error, lineno, problem);
    if (v.data.size() > TQREG_MAX_DATA) return Fail(error, lineno, "value data larger than 1 MiB");
    out.ops.push_back({RegOp::kValue, key, v, lineno});
  }
  return true;
}

std::string WriteReg(const KeyNode &tree, RegFormat format) {
  std::string out = std::string(format == RegFormat::kV5 ? kV5Header : kV4Header) + "\n\n";
  WriteKey(tree, format, out);
  return out;
}

}  // namespace tqtool
