/* The host side of the run-time library Zentrix.
 *
 * A host is a program that loads a converted module (a shared library built
 * from converted Fortran with this library linked in) and runs it: zxrun on
 * the command line, or the worker of the computational server ostrel. The
 * module exports these functions beside its entry routine.
 *
 * A host
 *   1. looks up zx_attach_host and zx_call_entry in the module,
 *   2. hands the library its callbacks with zx_attach_host (the console
 *      regime needs none: job[0] = -1 selects standard input and output),
 *   3. runs the module's entry routine through zx_call_entry, which returns
 *      when the routine returns or the module executes a converted STOP
 *      (zx_Instead_of_STOP): the process never exits on STOP.
 *
 * From Fortran a module raises a named event with
 *      call zx_RaiseEvent('FCN', text)
 * which reaches the host's event callback with both texts trimmed.
 *
 * Contract: one run per process. The library does not clean up after a run
 * that ended early (STOP, a cancelled read): SAVEd variables, COMMON blocks,
 * open Fortran units and memory the module allocated keep whatever state the
 * run left. A host that needs a clean second run starts a fresh process and
 * loads the module there (the server's worker does exactly this). Callbacks
 * are called on the thread that called zx_call_entry, never concurrently.
 *
 * The module's build records the name of its entry routine in the exported
 * string zx_entry_name (zentrix_add_module of cmake/Zentrix.cmake).
 */
#ifndef ZENTRIX_HOST_H
#define ZENTRIX_HOST_H

#ifdef __cplusplus
extern "C" {
#endif

/* Version of this interface; a host fills zx_host.version with it. */
enum { ZX_HOST_API_VERSION = 2 };

/* job[0]: the regime passed to Init_zx. */
enum { ZX_REGIME_CONSOLE = -1, ZX_REGIME_HOSTED = 1 };

/* job[3] onwards (Fortran job(4) to job(67)): the parameter line as 256
   blank-padded characters, as the console main program stores its first
   command-line argument there. */
enum { ZX_JOB_SIZE = 10000, ZX_JOB_PARAMETER_INDEX = 3, ZX_PARAMETER_LENGTH = 256 };

/* What zx_call_entry returns. */
enum {
  ZX_STATUS_OK = 0,           /* the entry routine returned */
  ZX_STATUS_STOPPED = 1,      /* the module executed STOP */
  ZX_STATUS_IO_ERROR = 3,     /* an I/O statement failed and its error handler ran, or a
                                 READ found too few values on its input line */
  ZX_STATUS_END_OF_INPUT = 4, /* a READ met the end of input without END= of its own */
  ZX_STATUS_NOT_STARTED = 5,  /* Init_zx refused to start (no host attached) */
  ZX_STATUS_CANCELLED = 6     /* read_line returned ZX_READ_CANCELLED */
};

/* What read_line returns besides a length. */
enum { ZX_READ_END_OF_INPUT = -1, ZX_READ_CANCELLED = -2 };

typedef struct zx_host {
  /* ZX_HOST_API_VERSION and sizeof(zx_host) as the host was compiled. */
  int version;
  int size;
  void* context;
  /* Copies the next input line (without line end) into buffer, at most
     capacity bytes; returns its length, ZX_READ_END_OF_INPUT, or
     ZX_READ_CANCELLED, which ends the run at once (as STOP does) and makes
     zx_call_entry return ZX_STATUS_CANCELLED. */
  int (*read_line)(void* context, char* buffer, int capacity);
  /* One line of the module's output, and one debug message. */
  void (*write_line)(void* context, const char* text, int length);
  void (*debug_line)(void* context, const char* text, int length);
  /* A named event with its text value. */
  void (*event)(void* context, const char* name, const char* value);
} zx_host;

/* The entry routine of a converted module: SUBROUTINE NAME(job). */
typedef void (*zx_entry_routine)(int* job);

/* Attaches the host's callbacks for the hosted regime; NULL detaches.
   Returns 0, or -1 (and attaches nothing) when version or size do not
   match this library. The library keeps the pointer: the structure must
   outlive the run. */
int zx_attach_host(const zx_host* host);

/* Calls entry(job) and returns a ZX_STATUS_ value. job needs room for
   ZX_JOB_SIZE integers; job[0] selects the regime. */
int zx_call_entry(zx_entry_routine entry, int* job);

/* The code of the STOP that ended the last run (STOP 3: 3); 0 when the run
   ended otherwise, by a plain STOP or by a STOP with a message. Modules built
   before stop codes were kept lack it: look it up with dlsym. */
int zx_stop_code(void);

#ifdef __cplusplus
}
#endif

#endif
