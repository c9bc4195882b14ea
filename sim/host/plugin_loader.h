// The simulator's plug-in loader: the host side's, which corvane-replay
// shares, so both say alike why a library cannot be used.
#pragma once

#include "plugin_library.h"
