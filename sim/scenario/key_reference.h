// The key reference: the table of scenario keys (scenario/keys.h) as
// Markdown, for the documentation.
#pragma once

#include <string>

// A heading, a line and a table (key | type | range | default | unit | sweep
// | meaning) for each section.
std::string KeyReference();
