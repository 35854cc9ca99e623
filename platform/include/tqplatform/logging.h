/* Error reporting of the platform. */
#ifndef TQPLATFORM_LOGGING_H
#define TQPLATFORM_LOGGING_H

#include "tqplatform/export.h"

TQ_EXTERN_C_BEGIN

/* Formats the message and writes it, prefixed with the program name, as one
 * line on standard error. Unlike the C library's error(3) it always returns,
 * whatever status is given. The library reaches this definition even when
 * the C library's error(3) comes first in symbol lookup. */
TQAPI void error(int status, int errnum, const char *format, ...);

/* Error-logging facility: appends "topic level value text" as one line to the
 * file named by TQ_TDERROR_LOG when it is set; otherwise discards it.
 * Returns 0. */
TQAPI int tderrorFunc(const char *topic, int level, int value, const char *text);

TQ_EXTERN_C_END

#endif
