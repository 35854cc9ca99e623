/* Included by declared_fixture.h: a declaration from another header. */
#ifndef DECLARED_FIXTURE_OTHER_H
#define DECLARED_FIXTURE_OTHER_H
#include "tqplatform/export.h"
TQ_EXTERN_C_BEGIN
TQAPI int declared_elsewhere(void);
TQ_EXTERN_C_END
#endif
