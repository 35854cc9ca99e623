// Reporting through the platform's error(): the C library also exports an
// error(3) that exits the process when its status is non-zero, and it can
// come first in symbol lookup. ReportError() always reaches a definition
// that returns: one that the program (or a preloaded library) interposes,
// else the platform's own; never the C library's.
#pragma once

namespace tq {

using ErrorFn = void (*)(int, int, const char *, ...);

// The error() that library reports go to (resolved once per process).
ErrorFn ResolveErrorFunction();

template <typename... Args>
void ReportError(int status, int errnum, const char *format, Args... args) {
  ResolveErrorFunction()(status, errnum, format, args...);
}

}  // namespace tq
