#include "WindowPlugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

namespace kvq {

namespace {

// The folder of the running program, empty when the system does not say.
std::filesystem::path ProgramFolder() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

std::vector<std::filesystem::path> PluginCandidates() {
  std::filesystem::path folder = ProgramFolder();
  if (folder.empty()) return {};
  return {folder / CONVERTOR_WINDOW_PLUGIN_NAME,
          (folder / CONVERTOR_WINDOW_PLUGIN_RELATIVE).lexically_normal()};
}

WindowPlugin BindEntryPoints(void* handle, const std::filesystem::path& file) {
  WindowPlugin plugin;
  auto tag = reinterpret_cast<WindowBuildTagFunction>(dlsym(handle, kWindowBuildTagSymbol));
  if (!tag || std::strcmp(tag(), WindowBuildTag()) != 0) {
    plugin.error = file.string() + " belongs to another build of convertor";
    return plugin;
  }
  plugin.run = reinterpret_cast<WindowRunFunction>(dlsym(handle, kWindowRunSymbol));
  plugin.open = reinterpret_cast<WindowOpenFunction>(dlsym(handle, kWindowOpenSymbol));
  if (!plugin.Loaded()) plugin.error = file.string() + " has no window entry points";
  return plugin;
}

}  // namespace

const char* WindowBuildTag() {
  return CONVERTOR_WINDOW_BUILD_TAG;
}

WindowPlugin LoadWindowPlugin() {
  std::vector<std::filesystem::path> candidates = PluginCandidates();
  for (const std::filesystem::path& file : candidates) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) continue;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      WindowPlugin failed;
      const char* reason = dlerror();
      failed.error = reason ? reason : file.string() + ": cannot be loaded";
      return failed;
    }
    return BindEntryPoints(handle, file);
  }
  WindowPlugin missing;
  missing.error = "the window is not installed (looked for " +
                  (candidates.empty() ? std::string(CONVERTOR_WINDOW_PLUGIN_NAME)
                                      : candidates.back().string()) +
                  ")";
  return missing;
}

}  // namespace kvq
