/* zxrun MODULE [ENTRY] [ARGUMENT ...]: loads a converted module (a shared
 * library), calls its entry routine in the console regime (standard input,
 * standard output, debug messages on standard error) and exits with the
 * run's status. Statuses of its own stay clear of 1 and 2, which a module's
 * gfortran run-time error (2) or an ERROR STOP (1) leaves as the process's
 * status. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "Version.h"
#include "zentrix_host.h"
#include "zentrix_module.h"

/* From sysexits.h: usage error, and a module that cannot be used. */
enum { ZXRUN_USAGE = 64, ZXRUN_LOAD_FAILED = 66 };

static const char kUsage[] =
    "usage: zxrun [OPTION ...] MODULE [ENTRY] [ARGUMENT ...]\n"
    "Try 'zxrun --help' for more information.\n";

static const char kHelp[] =
    "usage: zxrun [OPTION ...] MODULE [ENTRY] [ARGUMENT ...]\n"
    "\n"
    "Runs the entry routine ENTRY of the converted module MODULE (a shared library\n"
    "built with the run-time library Zentrix) in the console regime: console READ\n"
    "reads standard input, WRITE and PRINT write standard output, debug messages\n"
    "go to standard error. ENTRY is the name given to the converter with NAME=;\n"
    "without it zxrun takes the name the build recorded in the module. The\n"
    "ARGUMENTs are the module's command line (GETARG, GET_COMMAND_ARGUMENT).\n"
    "A MODULE without a directory is looked for in the current directory.\n"
    "\n"
    "Options:\n"
    "  -e, --entry NAME  the entry routine; every operand after MODULE is then an\n"
    "                    ARGUMENT\n"
    "  -h, --help        show this text\n"
    "  -V, --version     show the version\n"
    "  --                end of options\n"
    "\n"
    "Exit status:\n"
    "  0   the run finished, or the module executed STOP without a code\n"
    "  N   the module executed STOP N (N & 255, as the original program exits)\n"
    "  1   an ERROR STOP in the module (gfortran's status)\n"
    "  2   a gfortran run-time error in the module (gfortran's status)\n"
    "  3   an I/O error was handled by the converted error handler, or a READ\n"
    "      found too few values on its input line\n"
    "  4   a READ met the end of input without an END= of its own\n"
    "  5   the module did not start (Init_zx refused)\n"
    "  64  usage error\n"
    "  66  the module could not be loaded, is no converted module, or defines no\n"
    "      entry routine ENTRY\n";

typedef int (*call_entry_function)(zx_entry_routine, int*);
typedef void (*set_args_function)(int, char**);

struct invocation {
  const char* module;
  const char* entry; /* NULL: the recorded one */
  int argument_count;
  char** arguments;
};

static int usage_error(const char* text, const char* detail) {
  fprintf(stderr, "zxrun: %s%s\n%s", text, detail, kUsage);
  return ZXRUN_USAGE;
}

/* Takes the options out of argv; returns -1 when the run goes on, else the
   exit status. The operands stay in argv's order. */
static int parse_arguments(int argc, char** argv, struct invocation* run) {
  char** operands = argv; /* operands are moved to the front, over the options */
  int count = 0;
  int options_ended = 0;
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    /* Options stop at the module: what follows belongs to the module. */
    if (!options_ended && count == 0 && argument[0] == '-' && argument[1] != '\0') {
      if (strcmp(argument, "--") == 0) {
        options_ended = 1;
      } else if (strcmp(argument, "-h") == 0 || strcmp(argument, "--help") == 0) {
        fputs(kHelp, stdout);
        return 0;
      } else if (strcmp(argument, "-V") == 0 || strcmp(argument, "--version") == 0) {
        printf("zxrun %s (Zentrix host interface %d)\n", ZENTRIX_VERSION, ZX_HOST_API_VERSION);
        return 0;
      } else if (strcmp(argument, "-e") == 0 || strcmp(argument, "--entry") == 0) {
        if (++i == argc) return usage_error("the option needs a routine name: ", argument);
        run->entry = argv[i];
      } else if (strncmp(argument, "--entry=", 8) == 0) {
        run->entry = argument + 8;
      } else {
        return usage_error("unknown option ", argument);
      }
      continue;
    }
    operands[count++] = argv[i];
  }
  if (count == 0) return usage_error("a module is needed", "");
  run->module = operands[0];
  int first_argument = 1;
  if (!run->entry && count > 1) run->entry = operands[first_argument++];
  if (run->entry && run->entry[0] == '\0') return usage_error("the entry routine name is empty", "");
  run->argument_count = count - first_argument;
  run->arguments = operands + first_argument;
  return -1;
}

/* The module's command line for the Fortran run-time library: the module's
   path, then the arguments. */
static void pass_arguments(void* module, const char* path, const struct invocation* run) {
  set_args_function set_args = (set_args_function)dlsym(module, "_gfortran_set_args");
  if (!set_args) return;
  static char* argv[256];
  int argc = 0;
  argv[argc++] = (char*)path;
  for (int i = 0; i < run->argument_count && argc < 255; ++i) argv[argc++] = run->arguments[i];
  argv[argc] = NULL;
  set_args(argc, argv);
}

int main(int argc, char** argv) {
  struct invocation run = {NULL, NULL, 0, NULL};
  int parsed = parse_arguments(argc, argv, &run);
  if (parsed >= 0) return parsed;
  char path[4096];
  snprintf(path, sizeof path, "%s%s", strchr(run.module, '/') ? "" : "./", run.module);
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    fprintf(stderr, "zxrun: %s: %s\n", run.module, dlerror());
    return ZXRUN_LOAD_FAILED;
  }
  call_entry_function call_entry = (call_entry_function)dlsym(module, "zx_call_entry");
  if (!call_entry) {
    fprintf(stderr,
            "zxrun: %s: no zx_call_entry in the module: link it with the run-time library "
            "Zentrix (libzentrix.a)\n",
            run.module);
    return ZXRUN_LOAD_FAILED;
  }
  if (!zx_find_module_routine(module, "Convertor_Signature")) {
    fprintf(stderr,
            "zxrun: %s: not a converted module (it defines no Convertor_Signature); convert "
            "its main program with convertor\n",
            run.module);
    return ZXRUN_LOAD_FAILED;
  }
  const char* entry_name = run.entry ? run.entry : zx_recorded_entry_name(module);
  if (!entry_name) {
    fprintf(stderr,
            "zxrun: %s: the module records no entry routine: name it (the NAME= given to the "
            "converter)\n%s",
            run.module, kUsage);
    return ZXRUN_USAGE;
  }
  zx_entry_routine entry = (zx_entry_routine)zx_find_module_routine(module, entry_name);
  if (!entry) {
    fprintf(stderr,
            "zxrun: %s: no entry routine %s in the module; the converter writes it for the "
            "main program under the name given by NAME= or else the program's own name\n",
            run.module, entry_name);
    return ZXRUN_LOAD_FAILED;
  }
  pass_arguments(module, path, &run);
  int* job = calloc(ZX_JOB_SIZE, sizeof *job);
  if (!job) return ZXRUN_LOAD_FAILED;
  job[0] = ZX_REGIME_CONSOLE;
  int status = call_entry(entry, job);
  free(job);
  fflush(stdout);
  if (status != ZX_STATUS_STOPPED) return status;
  /* STOP n ends zxrun with n, as it ends the original program. */
  int (*stop_code)(void) = (int (*)(void))dlsym(module, "zx_stop_code");
  return stop_code ? stop_code() & 0xff : 0;
}
