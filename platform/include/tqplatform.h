/* Every platform interface that libtqprod50 calls, by area. */
#ifndef TQPLATFORM_H
#define TQPLATFORM_H

#include "tqplatform/export.h"
#include "tqplatform/registry.h"
#include "tqplatform/logging.h"
#include "tqplatform/files.h"
#include "tqplatform/paths.h"
#include "tqplatform/ctxdb.h"
#include "tqplatform/identity.h"
#include "tqplatform/network.h"

#endif
