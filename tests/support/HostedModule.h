// A converted module loaded as a host loads it: dlopen, the run-time
// library's host functions, entry routines by their gfortran symbol, and one
// hosted call of an entry routine.
#pragma once

#include <dlfcn.h>

#include <string>
#include <vector>

#include "zentrix_host.h"

namespace kvq::test {

class HostedModule {
 public:
  explicit HostedModule(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) {
      error_ = dlerror();
      return;
    }
    attach_ = reinterpret_cast<Attach_t>(dlsym(handle_, "zx_attach_host"));
    call_ = reinterpret_cast<Call_t>(dlsym(handle_, "zx_call_entry"));
    if (!attach_ || !call_) error_ = std::string(path) + ": no host functions";
  }
  ~HostedModule() {
    if (handle_) dlclose(handle_);
  }
  HostedModule(const HostedModule&) = delete;
  HostedModule& operator=(const HostedModule&) = delete;

  bool Loaded() const { return attach_ && call_; }
  const std::string& Error() const { return error_; }

  void* Symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }
  zx_entry_routine Entry(const std::string& symbol) const {
    return reinterpret_cast<zx_entry_routine>(Symbol(symbol.c_str()));
  }

  int Attach(const zx_host* host) const { return attach_(host); }
  // Calls entry in the hosted regime with a fresh job array.
  int Call(zx_entry_routine entry) const {
    std::vector<int> job(ZX_JOB_SIZE, 0);
    job[0] = ZX_REGIME_HOSTED;
    return call_(entry, job.data());
  }
  // Attaches host, runs entry once and detaches; -1 when host is refused.
  int Run(zx_entry_routine entry, const zx_host& host) const {
    if (Attach(&host) != 0) return -1;
    int status = Call(entry);
    Attach(nullptr);
    return status;
  }

 private:
  using Attach_t = int (*)(const zx_host*);
  using Call_t = int (*)(zx_entry_routine, int*);

  void* handle_;
  Attach_t attach_ = nullptr;
  Call_t call_ = nullptr;
  std::string error_;
};

}  // namespace kvq::test
