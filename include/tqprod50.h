/* libtqprod50: the product-registry library of the product family.
 *
 * One header per subsystem, all included here. Every function is a plain C
 * entry; ownership of returned strings is stated beside each declaration.
 */
#ifndef TQPROD50_H
#define TQPROD50_H

#include "tqplatform.h"
#include "tqprod50/registry.h"
#include "tqprod50/bookkeeping.h"
#include "tqprod50/flags.h"
#include "tqprod50/installed.h"
#include "tqprod50/maintenance.h"
#include "tqprod50/identification.h"
#include "tqprod50/cdinfo.h"
#include "tqprod50/logging.h"
#include "tqprod50/vs.h"
#include "tqprod50/customer.h"
#include "tqprod50/snmp.h"

#endif
