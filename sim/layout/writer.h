// The file the layout writes.
#pragma once

#include <string>

#include "layout/layout.h"

// The scenario file written again with the layout's beacons in place of its
// own: the text it was read from for everything else, so that the reader
// loads it back to the same line.
std::string LayoutFile(const Scenario& s, const Layout& layout);
