#include "ModuleLoader.h"

#include <dlfcn.h>
#include <elf.h>
#include <sys/stat.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "EchoedArgument.h"
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

// The machine this worker runs modules for, as ELF headers name it.
#if defined(__x86_64__)
constexpr unsigned kOurMachine = EM_X86_64;
#elif defined(__aarch64__)
constexpr unsigned kOurMachine = EM_AARCH64;
#elif defined(__i386__)
constexpr unsigned kOurMachine = EM_386;
#elif defined(__arm__)
constexpr unsigned kOurMachine = EM_ARM;
#elif defined(__riscv)
constexpr unsigned kOurMachine = EM_RISCV;
#elif defined(__powerpc64__)
constexpr unsigned kOurMachine = EM_PPC64;
#elif defined(__s390x__)
constexpr unsigned kOurMachine = EM_S390;
#else
constexpr unsigned kOurMachine = EM_NONE;  // not checked
#endif
constexpr unsigned char kOurClass = sizeof(void*) == 8 ? ELFCLASS64 : ELFCLASS32;

std::string MachineName(unsigned machine, unsigned char elfClass) {
  switch (machine) {
    case EM_X86_64:
      return "x86-64";
    case EM_AARCH64:
      return "aarch64";
    case EM_386:
      return "i386";
    case EM_ARM:
      return "arm";
    case EM_RISCV:
      return elfClass == ELFCLASS64 ? "riscv64" : "riscv32";
    case EM_PPC64:
      return "ppc64";
    case EM_S390:
      return "s390x";
    default:
      return "machine " + std::to_string(machine);
  }
}

// dlopen says "cannot open shared object file" of a library built for
// another machine, although the file is there: read the ELF header first.
std::string MachineProblem(const std::string& path) {
  unsigned char header[EI_NIDENT + 4] = {};
  std::ifstream file(path, std::ios::binary);
  if (!file.read(reinterpret_cast<char*>(header), sizeof header)) return "";
  if (std::memcmp(header, ELFMAG, SELFMAG) != 0 || kOurMachine == EM_NONE) return "";
  const unsigned char elfClass = header[EI_CLASS];
  const unsigned machine = header[EI_DATA] == ELFDATA2MSB
                               ? (header[EI_NIDENT + 2] << 8) | header[EI_NIDENT + 3]
                               : header[EI_NIDENT + 2] | (header[EI_NIDENT + 3] << 8);
  if (machine == kOurMachine && elfClass == kOurClass) return "";
  return "built for another machine (" + MachineName(machine, elfClass) + "), not for " +
         MachineName(kOurMachine, kOurClass) + " where this server runs; build the module here";
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
  const std::string prefix = "cannot load " + EchoedArgument(path) + ": ";
  if (std::string problem = FileProblem(path); !problem.empty()) return prefix + problem;
  if (std::string problem = MachineProblem(path); !problem.empty()) return prefix + problem;
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
  if (entry.empty())
    return prefix +
           "no entry routine: the module's build recorded none and its file name gives none; "
           "build it with a NAME (zentrix_add_module ... NAME) or choose one with "
           "SetEntryRoutine";
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
