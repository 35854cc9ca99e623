// Key backup files: the writer (the key-tree walk writing one record per
// key) and the two restore readers (plain and typed value lines).
//
// Record: "#", the key name relative to "SOFTWARE\Tarquel", then one line
// "\t<name>=<text>" per value. Restore deletes each named key and writes
// its values back.
//
// Backup files are untrusted input. The choices made here:
//  - Lines are taken in pieces of at most 1023 bytes, line feed included. A
//    line that does not fit one piece is refused whole: its pieces are
//    neither restored nor read as lines of their own, so a cut-off value is
//    never stored and a "#" or "=" in the middle of a long value cannot
//    start a record or a value. A "#" as its first byte still ends the
//    current record, so later values never land in the wrong key.
//  - A line holding a zero byte is refused the same way.
//  - A key line is refused (the record selects no key: nothing is deleted
//    and its value lines are ignored) when it is empty, has an empty
//    component (leading, trailing or doubled backslash), a "." or ".."
//    component, or is the last line of a file that ends without a line
//    feed (it may have been cut short). Hence no record can name
//    "SOFTWARE\Tarquel" itself or anything outside it, and a start name of
//    "." is never deleted on restore.
//  - A last value line without a line feed is restored: hand-edited files
//    often lack the final line feed.
//  - TQPROD_DelKey removes a key with its whole subtree (the registry
//    service deletes subtrees), so a restored key holds exactly the values
//    of its record until later records refill its subkeys.
//  - The writer cuts a value text at its first line feed: the readers could
//    never restore more, and the rest would be read as lines of its own.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "maintenance/key_tree_walk.h"
#include "tqprod50.h"

namespace tq {
namespace {

constexpr const char kTooDeepText[] = "\n\nerror - registry to deep";
// Longest piece of a line the readers take at once, line feed included.
constexpr size_t kPieceMax = 1023;

void PrintNotOpened(const char *file) {
  printf("The file '%s' was not opened\n", file ? file : "(null)");
  fflush(stdout);
}

// ---- Writer ---------------------------------------------------------------

class BackupAction : public WalkAction {
 public:
  explicit BackupAction(FILE *out) : out_(out) {}

  void AtStart(const WalkedKey &key) override {
    // The start key gets a record only when it has values.
    bool first = true;
    ForEachValueName(key.source, [&](const char *name) {
      if (first) WriteHead(key.source);
      first = false;
      WriteValue(key.source, name);
    });
  }

  void AfterDescent(const WalkedKey &key) override {
    WriteHead(key.source);
    ForEachValueName(key.source, [&](const char *name) { WriteValue(key.source, name); });
  }

  void TooDeep() override { fputs(kTooDeepText, out_); }

 private:
  void WriteHead(const char *source) { fprintf(out_, "#\n%s\n", source); }

  void WriteValue(const char *source, const char *name) {
    const char *text = TQPROD_GetValue(source, name, 0);
    if (text == nullptr) return;
    size_t len = strcspn(text, "\n");
    fprintf(out_, "\t%s=%.*s\n", name, static_cast<int>(len), text);
  }

  FILE *out_;
};

// ---- Readers --------------------------------------------------------------

// One line of the file as the state machine sees it.
struct Line {
  std::string text;     // without its line feed
  bool usable = true;   // false: too long for one piece, or holds a zero byte
  bool complete = true; // false: the file ended before its line feed
  char first = '\0';    // first byte
};

// Reads the next line (pieces of at most kPieceMax bytes). False at the end
// of the file.
bool ReadLine(FILE *in, Line &line) {
  line.text.clear();
  line.usable = true;
  line.complete = false;
  line.first = '\0';
  size_t taken = 0;  // bytes of the line, line feed included
  int c;
  while ((c = getc(in)) != EOF) {
    ++taken;
    if (c == '\n') {
      line.complete = true;
      break;
    }
    if (taken == 1) line.first = static_cast<char>(c);
    if (c == '\0' || taken >= kPieceMax + 1) line.usable = false;
    if (line.usable) line.text.push_back(static_cast<char>(c));
  }
  if (taken > kPieceMax) line.usable = false;
  if (!line.usable) line.text.clear();
  return taken > 0;
}

bool IsSeparator(char c) { return c == '\t' || c == '='; }

// Splits text into fields at runs of tabs and "=" (leading ones skipped).
// Stops after max fields.
int SplitFields(const std::string &text, std::string *fields, int max) {
  int n = 0;
  size_t i = 0;
  while (n < max) {
    while (i < text.size() && IsSeparator(text[i])) ++i;
    if (i == text.size()) break;
    size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) ++end;
    fields[n++] = text.substr(i, end - i);
    i = end;
  }
  return n;
}

// A key name a record may select (see the file comment).
bool IsRestorableKey(const std::string &key) {
  if (key.empty()) return false;
  size_t begin = 0;
  for (;;) {
    size_t end = key.find('\\', begin);
    if (end == std::string::npos) end = key.size();
    std::string comp = key.substr(begin, end - begin);
    if (comp.empty() || comp == "." || comp == "..") return false;
    if (end == key.size()) return true;
    begin = end + 1;
  }
}

// A whole decimal number (optional sign) that fits an int.
bool ParseInt(const std::string &text, int *out) {
  if (text.empty()) return false;
  char *end = nullptr;
  // long long: a 32-bit long would clamp "2147483648" to a value in range.
  long long n = strtoll(text.c_str(), &end, 10);
  if (*end != '\0' || end == text.c_str() || n < -2147483647LL - 1 || n > 2147483647LL)
    return false;
  *out = static_cast<int>(n);
  return true;
}

// Plain value line: name up to the first tab or "=", then the text up to the
// next tab, "=" or the line's end; only a non-empty text is written.
void RestorePlainValue(const std::string &key, const std::string &line) {
  std::string fields[2];
  if (SplitFields(line, fields, 2) < 2) return;
  TQPROD_SetValue(key.c_str(), fields[0].c_str(), TQREG_SZ, fields[1].c_str(), 0);
}

// Typed value line: number, type, name, text. Lines with fewer fields, or
// whose first two are not numbers (or whose type is negative), are ignored.
void RestoreTypedValue(const std::string &key, const std::string &line) {
  std::string fields[4];
  int unused = 0, type = 0;
  if (SplitFields(line, fields, 4) < 4 || !ParseInt(fields[0], &unused) ||
      !ParseInt(fields[1], &type) || type < 0)
    return;
  TQPROD_SetValue(key.c_str(), fields[2].c_str(), type, fields[3].c_str(), 0);
}

using ValueRestorer = void (*)(const std::string &key, const std::string &line);

int Restore(const char *file, ValueRestorer restore_value) {
  FILE *in = file ? fopen(file, "re") : nullptr;
  if (in == nullptr) {
    PrintNotOpened(file);
    return -4;
  }
  TqkRegBatchScope batch;  // one transaction, one flush, for the whole file
  enum class State { kIdle, kExpectKey, kInKey } state = State::kIdle;
  std::string key;  // empty: the record selects no key
  Line line;
  while (ReadLine(in, line)) {
    if (state == State::kExpectKey) {
      key = line.usable && line.complete ? line.text : std::string();
      if (!IsRestorableKey(key)) key.clear();
      if (!key.empty()) TQPROD_DelKey(key.c_str());
      state = State::kInKey;
      continue;
    }
    if (state == State::kInKey && line.usable && !key.empty() &&
        line.text.find('=') != std::string::npos)
      restore_value(key, line.text);
    if (line.first == '#') state = State::kExpectKey;
  }
  fclose(in);
  return 0;
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_BackupKey(const char *key, const char *file) {
  if (key == nullptr) return -1;  // names no key; nothing is written
  FILE *out = file ? fopen(file, "we") : nullptr;
  if (out == nullptr) {
    PrintNotOpened(file);
    return -4;
  }
  BackupAction action(out);
  int rc = WalkKeyTree(key, action);
  fclose(out);
  return rc;
}

TQAPI int TQPROD_RestoreKey(const char *file) { return Restore(file, RestorePlainValue); }

TQAPI int TQPROD_RestoreKeyWithType(const char *file) {
  return Restore(file, RestoreTypedValue);
}

}  // extern "C"
