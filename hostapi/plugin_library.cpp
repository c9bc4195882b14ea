#include "plugin_library.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace {

#if defined(_WIN32)
using Library = HMODULE;

// LoadLibrary searches its folders for any path that is not absolute.
std::string Anchored(const std::string& path) {
  const DWORD size = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  std::string full(size, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), size, full.data(), nullptr);
  if (size == 0 || length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

std::string LastErrorText() {
  const DWORD code = GetLastError();
  char text[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                 sizeof text, nullptr);
  std::string out = "error " + std::to_string(code) + ": " + text;
  while (out.back() == '\n' || out.back() == '\r' || out.back() == ' ') out.pop_back();
  return out;
}

Library Open(const std::string& path, std::string& why) {
  const Library library = LoadLibraryA(Anchored(path).c_str());
  if (library == nullptr) why = LastErrorText();
  return library;
}
void* Find(Library library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(library, name));
}
void Close(Library library) { FreeLibrary(library); }
#else
using Library = void*;

// dlopen searches the library path for a name without a slash.
std::string Anchored(const std::string& path) {
  return path.find('/') == std::string::npos ? "./" + path : path;
}

Library Open(const std::string& path, std::string& why) {
  const Library library = dlopen(Anchored(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) why = dlerror();
  return library;
}
void* Find(Library library, const char* name) { return dlsym(library, name); }
void Close(Library library) { dlclose(library); }
#endif

}  // namespace

bool LoadPlugin(const std::string& path, PluginApi& api, std::string& error) {
  const std::string cannot = "cannot load the plug-in " + path + ": ";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    error = cannot + std::strerror(errno);
    return false;
  }
  std::fclose(file);
  std::string why;
  const Library library = Open(path, why);
  if (library == nullptr) {
    error = cannot + "not a loadable library: " + why;
    return false;
  }
  if (const char* missing =
          ResolvePluginApi(api, [&](const char* n) { return Find(library, n); })) {
    Close(library);
    error = cannot + "the library lacks the export " + missing;
    return false;
  }
  return true;
}
