#include "json.h"

#include <stdio.h>

namespace tqtool {

std::string JsonEscape(const std::string &s) {
  std::string out;
  for (unsigned char c : s) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  return out;
}

void Json::Separate() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_.empty()) {
    if (!first_.back()) out_ += ",";
    first_.back() = false;
  }
}

Json &Json::BeginObject() {
  Separate();
  out_ += "{";
  first_.push_back(true);
  return *this;
}
Json &Json::EndObject() {
  out_ += "}";
  first_.pop_back();
  return *this;
}
Json &Json::BeginArray() {
  Separate();
  out_ += "[";
  first_.push_back(true);
  return *this;
}
Json &Json::EndArray() {
  out_ += "]";
  first_.pop_back();
  return *this;
}
Json &Json::Key(const std::string &k) {
  Separate();
  out_ += "\"" + JsonEscape(k) + "\":";
  after_key_ = true;
  return *this;
}
Json &Json::Str(const std::string &s) {
  Separate();
  out_ += "\"" + JsonEscape(s) + "\"";
  return *this;
}
Json &Json::Str(const char *s) { return s ? Str(std::string(s)) : Null(); }
Json &Json::Num(long long n) {
  Separate();
  out_ += std::to_string(n);
  return *this;
}
Json &Json::Bool(bool b) {
  Separate();
  out_ += b ? "true" : "false";
  return *this;
}
Json &Json::Null() {
  Separate();
  out_ += "null";
  return *this;
}
Json &Json::StrArray(const std::vector<std::string> &items) {
  BeginArray();
  for (const std::string &s : items) Str(s);
  return EndArray();
}

void Json::Print() const { printf("%s\n", out_.c_str()); }

}  // namespace tqtool
