// Line input for the small system files of platform identification.
#pragma once

#include <stddef.h>
#include <stdio.h>

namespace tq {

// Reads the next line of f into buf (capacity cap, at least 1): keeps at
// most cap - 1 characters, drops the newline and discards whatever else the
// line holds, so that the tail of an over-long line is never taken for a
// line of its own. False at end of file when nothing was read.
inline bool ReadBoundedLine(FILE *f, char *buf, size_t cap) {
  size_t n = 0;
  int c;
  bool any = false;
  while ((c = getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (n + 1 < cap) buf[n++] = static_cast<char>(c);
  }
  buf[n] = '\0';
  return any;
}

}  // namespace tq
