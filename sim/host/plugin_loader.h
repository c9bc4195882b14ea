// The plug-in library opened and its sixteen exports found.
#pragma once

#include <string>

#include "plugin_api.h"

// False with the reason in `error` when the library cannot be used.
bool LoadPlugin(const std::string& path, PluginApi& api, std::string& error);
