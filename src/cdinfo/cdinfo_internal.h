// Helpers shared by the install-media sources: trace records, the facility
// lines, bounded field splitting and file closing.
#pragma once

#include <stdio.h>

#include <string>

#include "tqprod50.h"

namespace tq {
namespace cdinfo {

constexpr int kLineSize = CDINFO_TEXT_SIZE;  // media lines are read 400 bytes at a time
constexpr int kPathSize = 1024;              // paths, lines and commands

// Text for a possibly-null string in a record.
inline const char *Nz(const char *s) { return s ? s : "(null)"; }

// One trace record of several strings (NULL strings are shown as "(null)"
// rather than ending the record early).
template <typename... S>
void Trace(const char *first, S... rest) {
  ::Debug(Nz(first), Nz(rest)..., static_cast<const char *>(nullptr));
}

// One trace record of a formatted text (cut at 1,023 characters).
void TraceF(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The entry/exit line for the platform's error-logging facility.
void Facility(const char *text);
// Facility line and trace record of the same text.
inline void Both(const char *text) {
  Facility(text);
  Trace(text);
}

// Splits s in place at any of delims, empty pieces not counted (strtok
// rules). Stores up to max pieces; returns how many were stored.
int SplitFields(char *s, const char *delims, char **out, int max);

// Bounded copy: at most size-1 characters and a NUL. Returns false when src
// did not fit (dst then holds the cut text).
bool CopyText(char *dst, size_t size, const char *src);

// Formats into a buffer; false when the result did not fit (nothing usable
// is left in dst then).
bool FormatInto(char *dst, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));

// Opens a media file for reading (text, close-on-exec).
FILE *OpenMedia(const char *path);
// Closes a media file; prints the family's message when closing fails.
void CloseMedia(FILE *f);

// The value of a header line: the second piece of line cut at delims
// (strtok rules), or "" when there is none. Copied into out.
void HeaderValue(const char *line, const char *delims, char *out, size_t size);

// ---- Package assembly (shell commands and the work directory) ----------

// True when value can stand in a shell command without changing its
// meaning: only letters, digits and / . _ - + , : @ % = are accepted, and
// no leading "-". Otherwise traces which value (label) was refused.
bool ShellSafe(const char *label, const char *value);
// True when value may become part of the archive's file name (ShellSafe,
// and no "/" or ".."). Traces a refusal.
bool NameSafe(const char *label, const char *value);
// The work directory "/tmp/dw_tmp" or its staging directory: when present it
// must be a real directory (no symbolic link) owned by us and not writable
// by others. Missing is accepted. Traces a refusal.
bool WorkDirSafe(const std::string &path);
// Runs "/bin/sh -c \"command\"" after the trace label + "<" + text + ">".
// Returns the status of system(), or -1 when the text does not fit.
int RunShell(const char *label, const char *command);
// "/tmp" under the system root.
std::string TempPath();

}  // namespace cdinfo
}  // namespace tq
