#include "ModuleLoader.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "zentrix_module.h"

namespace kvq::ostrel {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// Only a routine the module itself defines: a name such as STAT or EXIT
// would otherwise be found in the C or the Fortran run-time library.
void* FindRoutine(void* handle, const std::string& name) {
  return zx_find_module_routine(handle, name.c_str());
}

std::string FileProblem(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    std::string reason = std::strerror(errno);
    reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
    return reason;
  }
  if (S_ISDIR(info.st_mode)) return "is a directory, not a module";
  // A FIFO or a device would block the load or feed it without end.
  if (!S_ISREG(info.st_mode)) return "is not a regular file, not a module";
  return "";
}

template <typename Function>
Function Symbol(void* handle, const char* name) {
  return reinterpret_cast<Function>(dlsym(handle, name));
}

}  // namespace

std::string EntryNameOf(void* handle, const std::string& path) {
  if (const char* recorded = zx_recorded_entry_name(handle)) return recorded;
  std::string base = path.substr(path.find_last_of('/') + 1);
  return Upper(base.substr(0, base.find('.')));
}

std::string LoadModule(const std::string& path, const std::string& chosenEntry,
                       LoadedModule& module) {
  const std::string prefix = "cannot load " + path + ": ";
  if (std::string problem = FileProblem(path); !problem.empty()) return prefix + problem;
  module.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module.handle) return prefix + dlerror();
  if (!FindRoutine(module.handle, "Convertor_Signature"))
    return prefix +
           "not a converted module (it has no Convertor_Signature); convert its sources with "
           "convertor and build it with the run-time library Zentrix";
  module.attach_host = Symbol<decltype(module.attach_host)>(module.handle, "zx_attach_host");
  module.call_entry = Symbol<decltype(module.call_entry)>(module.handle, "zx_call_entry");
  if (!module.attach_host || !module.call_entry)
    return prefix + "not linked with the run-time library Zentrix (no zx_call_entry)";
  std::string entry = chosenEntry.empty() ? EntryNameOf(module.handle, path) : chosenEntry;
  module.entry = reinterpret_cast<zx_entry_routine>(FindRoutine(module.handle, entry));
  if (!module.entry)
    return prefix + "no entry routine " + entry + " (looked for " + entry + ", " + Lower(entry) +
           "_ and " + Lower(entry) + ")";
  module.stop_code = Symbol<decltype(module.stop_code)>(module.handle, "zx_stop_code");
  module.set_fortran_args =
      Symbol<decltype(module.set_fortran_args)>(module.handle, "_gfortran_set_args");
  return "";
}

}  // namespace kvq::ostrel
