// The grid's exception, apart from the grid so that code about grids that
// needs no window (selection lists) raises it in every build.
#pragma once

#include "rtl/SysUtils.h"

KS_EXCEPTION(EInvalidGridOperation, Exception);
