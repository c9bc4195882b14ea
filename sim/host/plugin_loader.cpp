#include "host/plugin_loader.h"

#include <dlfcn.h>
#include <fmt/format.h>

bool LoadPlugin(const std::string& path, PluginApi& api, std::string& error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    error = fmt::format("cannot load the plug-in {}: {}", path, dlerror());
    return false;
  }
  if (!ResolvePluginApi(api, [&](const char* name) { return dlsym(library, name); })) {
    error = fmt::format("{} lacks one of the sixteen exports", path);
    return false;
  }
  return true;
}
