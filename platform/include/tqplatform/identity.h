/* Machine identity: the operating system's name and path recognition. */
#ifndef TQPLATFORM_IDENTITY_H
#define TQPLATFORM_IDENTITY_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Name of the operating system, read from "/etc/tq-release" (below
 * $TQ_SYSROOT): the value of a "NAME=" line (quotes removed) when the file
 * has one, else its first non-empty line with any " release ..." tail cut
 * off; surrounding white space is dropped. At most 127 characters. Returns a
 * static buffer, valid until the next call, or NULL when the file is missing
 * or names nothing. */
TQAPI const char *TqOsName(void);

/* Non-zero when name already holds a directory part (a "/" or "\"). */
TQAPI int is_path(const char *name);

TQ_EXTERN_C_END

#endif
