/* zxrun MODULE ENTRY: loads a converted module (a shared library), calls its
 * entry routine in the console regime (standard input, standard output,
 * debug messages on standard error) and exits with the run's status.
 * Statuses of its own stay clear of 1 and 2, which a module's gfortran
 * run-time error (2) or an ERROR STOP (1) leaves as the process's status. */
#include <ctype.h>
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "zentrix_host.h"

/* From sysexits.h: usage error, and a module that cannot be used. */
enum { ZXRUN_USAGE = 64, ZXRUN_LOAD_FAILED = 66 };

static const char kUsage[] =
    "usage: zxrun [OPTION ...] MODULE ENTRY\n"
    "Try 'zxrun --help' for more information.\n";

static const char kHelp[] =
    "usage: zxrun [OPTION ...] MODULE ENTRY\n"
    "\n"
    "Runs the entry routine ENTRY of the converted module MODULE (a shared library\n"
    "built with the run-time library Zentrix) in the console regime: console READ\n"
    "reads standard input, WRITE and PRINT write standard output, debug messages\n"
    "go to standard error. ENTRY is the name given to the converter with NAME=;\n"
    "a MODULE without a directory is looked for in the current directory.\n"
    "\n"
    "Options:\n"
    "  -h, --help      show this text\n"
    "  -V, --version   show the version\n"
    "  --              end of options\n"
    "\n"
    "Exit status:\n"
    "  0   the run finished, or the module executed STOP\n"
    "  1   an ERROR STOP in the module (gfortran's status)\n"
    "  2   a gfortran run-time error in the module (gfortran's status)\n"
    "  3   an I/O error was handled by the converted error handler, or a READ\n"
    "      found too few values on its input line\n"
    "  4   a READ met the end of input without an END= of its own\n"
    "  5   the module did not start (Init_zx refused)\n"
    "  64  usage error\n"
    "  66  the module could not be loaded, or has no entry routine ENTRY\n";

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

/* Takes the options out of argv; returns -1 when the run goes on with
   operands[0] and operands[1], else the exit status. */
static int parse_arguments(int argc, char** argv, const char* operands[2]) {
  int count = 0;
  int options_ended = 0;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (!options_ended && argument[0] == '-' && argument[1] != '\0') {
      if (strcmp(argument, "--") == 0) {
        options_ended = 1;
      } else if (strcmp(argument, "-h") == 0 || strcmp(argument, "--help") == 0) {
        fputs(kHelp, stdout);
        return 0;
      } else if (strcmp(argument, "-V") == 0 || strcmp(argument, "--version") == 0) {
        printf("zxrun 0.1.0 (Zentrix host interface %d)\n", ZX_HOST_API_VERSION);
        return 0;
      } else {
        fprintf(stderr, "zxrun: unknown option %s\n%s", argument, kUsage);
        return ZXRUN_USAGE;
      }
      continue;
    }
    if (count == 2) {
      fprintf(stderr, "zxrun: too many arguments: %s\n%s", argument, kUsage);
      return ZXRUN_USAGE;
    }
    operands[count++] = argument;
  }
  if (count < 2) {
    fprintf(stderr, "zxrun: %s\n%s",
            count == 0 ? "a module and its entry routine are needed"
                       : "the entry routine is needed (the NAME= "
                         "given to the converter)",
            kUsage);
    return ZXRUN_USAGE;
  }
  return -1;
}

int main(int argc, char** argv) {
  const char* operands[2] = {NULL, NULL};
  int parsed = parse_arguments(argc, argv, operands);
  if (parsed >= 0) return parsed;
  const char* module_name = operands[0];
  const char* entry_name = operands[1];
  char path[4096];
  snprintf(path, sizeof path, "%s%s", strchr(module_name, '/') ? "" : "./", module_name);
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    fprintf(stderr, "zxrun: %s: %s\n", module_name, dlerror());
    return ZXRUN_LOAD_FAILED;
  }
  call_entry_function call_entry = (call_entry_function)dlsym(module, "zx_call_entry");
  zx_entry_routine entry = (zx_entry_routine)find_entry(module, entry_name);
  if (!call_entry) {
    fprintf(stderr,
            "zxrun: %s: no zx_call_entry in the module: link it with the run-time library "
            "Zentrix (libzentrix.a)\n",
            module_name);
    return ZXRUN_LOAD_FAILED;
  }
  if (!entry) {
    fprintf(stderr,
            "zxrun: %s: no entry routine %s in the module; the converter writes it only for a "
            "main program, under the name given by NAME= or else the program's own name\n",
            module_name, entry_name);
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
