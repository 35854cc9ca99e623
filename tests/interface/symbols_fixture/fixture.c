/* The symbol-test fixture library: defines its declared names but one, and
 * exports one helper it does not declare. The check must report both. */
#include "fixture.h"

TQAPI int fixture_global = 1;
static int internal_helper(void) { return fixture_global; }
int hidden_function(void) { return internal_helper(); }
TQAPI int fixture_exported(void) { return hidden_function(); }
TQAPI int fixture_leaked(void) { return 2; }
