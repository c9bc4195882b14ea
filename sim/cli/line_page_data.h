// What the page of a laid-out line shows, gathered from the file written and
// the layout's own account of its stations.
#pragma once

#include <nlohmann/json.hpp>

#include "layout/layout.h"

// `written` is the file the layout wrote, read back.
nlohmann::json LinePageData(const Scenario& written, const Layout& layout);
