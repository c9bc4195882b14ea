#include "report/line_page.h"

#include "report/report.h"

// Generated at build time from line_page.html.
extern const char* const kLinePage;

std::string RenderLinePage(const nlohmann::json& line) { return InlinedPage(kLinePage, line); }
