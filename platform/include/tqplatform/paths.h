/* Path names of the platform. */
#ifndef TQPLATFORM_PATHS_H
#define TQPLATFORM_PATHS_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Short form of an existing file or directory: the same name with
 * backslashes turned into slashes, repeated separators, "." components and
 * a trailing separator removed, and ".." folded into its parent (the
 * canonical path instead when folding would name another file, through a
 * symbolic link). The form is written with its terminator into buffer
 * (capacity bytes) and its length returned.
 * -1: NULL or empty path, NULL buffer, capacity below 1.
 *  0: the path does not exist, or its short form does not fit the buffer
 *     (the buffer is then left unchanged). */
TQAPI int tqGetShortPathName(const char *path, char *buffer, int capacity);

TQ_EXTERN_C_END

#endif
