/* zxrun MODULE ENTRY: loads a converted module (a shared library), calls its
 * entry routine in the console regime (standard input, standard output,
 * debug messages on standard error) and exits with the run's status. */
#include <ctype.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zentrix_host.h"

enum { ZXRUN_USAGE = 2, ZXRUN_LOAD_FAILED = 6 };

typedef int (*call_entry_function)(zx_entry_routine, int*);

/* The entry routine as exported: gfortran names SUBROUTINE NAME(job) in lower
   case with an underscore; the name as given is tried first. */
static void* find_entry(void* module, const char* name) {
  char candidate[512];
  size_t length = strlen(name);
  if (length + 2 > sizeof candidate) return NULL;
  void* symbol = dlsym(module, name);
  if (symbol) return symbol;
  for (size_t i = 0; i <= length; ++i) candidate[i] = (char)tolower((unsigned char)name[i]);
  strcat(candidate, "_");
  if ((symbol = dlsym(module, candidate)) != NULL) return symbol;
  candidate[length] = '\0';
  return dlsym(module, candidate);
}

int main(int argc, char** argv) {
  if (argc != 3 || strcmp(argv[1], "--help") == 0) {
    fprintf(stderr,
            "usage: zxrun MODULE ENTRY\n"
            "Runs the entry routine ENTRY of the converted module MODULE (a shared\n"
            "library) with standard input and output; exits with the run's status:\n"
            "0 finished or stopped, 3 an I/O error was handled, 4 end of input,\n"
            "5 the module did not start, 6 the module could not be loaded.\n");
    return ZXRUN_USAGE;
  }
  char path[4096];
  snprintf(path, sizeof path, "%s%s", strchr(argv[1], '/') ? "" : "./", argv[1]);
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    fprintf(stderr, "zxrun: %s: %s\n", argv[1], dlerror());
    return ZXRUN_LOAD_FAILED;
  }
  call_entry_function call_entry = (call_entry_function)dlsym(module, "zx_call_entry");
  zx_entry_routine entry = (zx_entry_routine)find_entry(module, argv[2]);
  if (!call_entry) {
    fprintf(stderr,
            "zxrun: %s: no zx_call_entry in the module: link it with the run-time library "
            "Zentrix (libzentrix.a)\n",
            argv[1]);
    return ZXRUN_LOAD_FAILED;
  }
  if (!entry) {
    fprintf(stderr,
            "zxrun: %s: no entry routine %s in the module; the converter writes it only for a "
            "main program that begins with a PROGRAM statement, under the name given by NAME= "
            "(a main program without PROGRAM is left unconverted)\n",
            argv[1], argv[2]);
    return ZXRUN_LOAD_FAILED;
  }
  int* job = calloc(ZX_JOB_SIZE, sizeof *job);
  if (!job) return ZXRUN_LOAD_FAILED;
  job[0] = ZX_REGIME_CONSOLE;
  int status = call_entry(entry, job);
  free(job);
  fflush(stdout);
  return status == ZX_STATUS_STOPPED ? 0 : status;
}
