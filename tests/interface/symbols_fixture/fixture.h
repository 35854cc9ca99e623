/* Headers of the symbol-test fixture library: one name it does not define. */
#ifndef SYMBOLS_FIXTURE_H
#define SYMBOLS_FIXTURE_H
#include "tqplatform/export.h"
#include "fixture/area.h"
TQ_EXTERN_C_BEGIN
TQAPI int fixture_exported(void);
TQAPI int fixture_missing(void);
TQ_EXTERN_C_END
#endif
