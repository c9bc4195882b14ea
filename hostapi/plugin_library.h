// The plug-in's library opened by its path and its sixteen exports found,
// with dlopen or, on Windows, LoadLibrary. A failure says why: the file
// cannot be read, the system does not load it, or an export is missing.
#pragma once

#include <string>

#include "plugin_api.h"

// False with the reason in `error` when the library cannot be used. A path
// without a folder is a file in the current folder, never a library found
// on the system's search path.
bool LoadPlugin(const std::string& path, PluginApi& api, std::string& error);
