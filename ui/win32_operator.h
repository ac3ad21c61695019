// The operator as the Windows programs show it: message boxes with no owner,
// the five input controls, and the progress bar.
#pragma once

#include "engine/operator.h"

Operator& win32Operator();
