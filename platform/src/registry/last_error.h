// The registry service's last error, per thread: a code and a one-line text
// naming the database and the cause. Failing calls set it; success leaves it.
#pragma once

#include <string>

namespace tq {
namespace platform {
namespace reg {

// A failure whose text is known now (database failures).
void SetLastError(int code, const std::string &text);
// A failure told by its code alone (not found, bad handle, ...): the text is
// built when asked for, from the code and where (a string that outlives the
// thread's next failure).
void SetLastErrorCode(int code, const char *where);
int LastError();
const char *LastErrorText();
// The meaning of a status code, e.g. "not found".
const char *CodeMeaning(int code);

}  // namespace reg
}  // namespace platform
}  // namespace tq
