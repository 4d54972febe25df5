// Loads a converted module into the worker process and finds what running
// it needs, or says in words a user can act on why it cannot.
#pragma once

#include <string>

#include "zentrix_host.h"

namespace kvq::ostrel {

struct LoadedModule {
  void* handle = nullptr;
  int (*attach_host)(const zx_host*) = nullptr;
  int (*call_entry)(zx_entry_routine, int*) = nullptr;
  zx_entry_routine entry = nullptr;
  // libgfortran's record of the command line, for GETARG in the module.
  void (*set_fortran_args)(int, char**) = nullptr;
  // The code of the STOP that ended the run (modules built before stop
  // codes were kept lack it).
  int (*stop_code)() = nullptr;
};

// The entry routine's name: the one the module's build recorded
// (zx_entry_name), else the file's base name in upper case
// ("/x/Minuit.so" -> "MINUIT").
std::string EntryNameOf(void* handle, const std::string& path);

// Loads path (RTLD_NOW | RTLD_LOCAL). Returns "" and fills module, or the
// error text ("cannot load PATH: ...").
std::string LoadModule(const std::string& path, const std::string& entry, LoadedModule& module);

}  // namespace kvq::ostrel
