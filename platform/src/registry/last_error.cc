#include "registry/last_error.h"

#include "tqplatform/registry.h"

namespace tq {
namespace platform {
namespace reg {
namespace {

struct LastErrorState {
  int code = 0;
  std::string text;
  const char *where = nullptr;  // set: text is still to be built from code
};

thread_local LastErrorState t_last;

}  // namespace

const char *CodeMeaning(int code) {
  switch (code) {
    case TQREG_OK: return "success";
    case TQREG_E_NOTFOUND: return "not found";
    case TQREG_E_ACCESS: return "not writable";
    case TQREG_E_BADHANDLE: return "invalid key handle";
    case TQREG_E_INVALID: return "invalid argument";
    case TQREG_E_DISKFULL: return "disk full";
    case TQREG_E_BUSY: return "busy: another process held the write lock past the busy timeout";
    case TQREG_E_MOREDATA: return "buffer too small";
    case TQREG_E_CORRUPT: return "not a registry database, or corrupt";
    case TQREG_E_IO: return "I/O error";
    case TQREG_E_LIMIT: return "a size or depth limit was exceeded";
    case TQREG_E_TIMEOUT: return "timed out";
    case TQREG_E_KEYDELETED: return "the watched key was deleted";
    case TQREG_E_NOHISTORY: return "the history needed is not there";
    default: return "error";
  }
}

void SetLastError(int code, const std::string &text) {
  t_last.code = code;
  t_last.text = text;
  t_last.where = nullptr;
}

void SetLastErrorCode(int code, const char *where) {
  t_last.code = code;
  t_last.where = where ? where : "";
}

int LastError() { return t_last.code; }

const char *LastErrorText() {
  if (t_last.where != nullptr) {
    t_last.text = *t_last.where ? std::string(t_last.where) + ": " : std::string();
    t_last.text += CodeMeaning(t_last.code);
    t_last.where = nullptr;
  }
  return t_last.text.c_str();
}

}  // namespace reg
}  // namespace platform
}  // namespace tq

using namespace tq::platform::reg;

extern "C" {

TQAPI int TqkRegGetLastError(void) { return LastError(); }

TQAPI void TqkRegSetLastError(int code) { SetLastErrorCode(code, ""); }

TQAPI const char *TqkRegGetLastErrorText(void) { return LastErrorText(); }

}  // extern "C"
