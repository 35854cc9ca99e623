// A small streaming JSON writer for --json output (commas and escaping
// handled here, so commands only say what they print).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace tqtool {

class Json {
 public:
  Json &BeginObject();
  Json &EndObject();
  Json &BeginArray();
  Json &EndArray();
  Json &Key(const std::string &k);
  Json &Str(const std::string &s);
  Json &Str(const char *s);  // NULL writes null
  Json &Num(long long n);
  Json &Bool(bool b);
  Json &Null();
  Json &StrArray(const std::vector<std::string> &items);
  // Shorthands for one member.
  Json &Field(const std::string &k, const std::string &v) { return Key(k).Str(v); }
  Json &Field(const std::string &k, const char *v) { return Key(k).Str(v); }
  Json &Field(const std::string &k, long long v) { return Key(k).Num(v); }
  Json &Field(const std::string &k, int v) { return Key(k).Num(v); }
  Json &Field(const std::string &k, unsigned v) { return Key(k).Num(v); }
  Json &FieldBool(const std::string &k, bool v) { return Key(k).Bool(v); }

  const std::string &text() const { return out_; }
  // Writes the document and a newline to stdout.
  void Print() const;

 private:
  void Separate();
  std::string out_;
  std::vector<bool> first_;  // per open container: no member written yet
  bool after_key_ = false;
};

std::string JsonEscape(const std::string &s);

}  // namespace tqtool
