// The whole engine foundation.
#pragma once

#include "fxarray.h"
#include "fxstr.h"
#include "other.h"
#include "paths.h"
#include "thread.h"
#include "trace.h"
