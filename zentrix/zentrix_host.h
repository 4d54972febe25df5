/* The host side of the run-time library Zentrix.
 *
 * A host is a program that loads a converted module (a shared library built
 * from converted Fortran with this library linked in) and runs it: zxrun on
 * the command line, or the computational server. The module exports these
 * functions beside its entry routine.
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
 */
#ifndef ZENTRIX_HOST_H
#define ZENTRIX_HOST_H

#ifdef __cplusplus
extern "C" {
#endif

/* job[0]: the regime passed to Init_zx. */
enum { ZX_REGIME_CONSOLE = -1, ZX_REGIME_HOSTED = 1 };

/* What zx_call_entry returns. */
enum {
  ZX_STATUS_OK = 0,           /* the entry routine returned, or the module stopped */
  ZX_STATUS_IO_ERROR = 3,     /* an I/O statement failed and its error handler ran */
  ZX_STATUS_END_OF_INPUT = 4, /* a READ met the end of input without END= of its own */
  ZX_STATUS_NOT_STARTED = 5   /* Init_zx refused to start (no host attached) */
};

typedef struct zx_host {
  void* context;
  /* Copies the next input line (without line end) into buffer, at most
     capacity bytes; returns its length, or -1 at the end of input. */
  int (*read_line)(void* context, char* buffer, int capacity);
  /* One line of the module's output, and one debug message. */
  void (*write_line)(void* context, const char* text, int length);
  void (*debug_line)(void* context, const char* text, int length);
  /* A named event with its text value. */
  void (*event)(void* context, const char* name, const char* value);
} zx_host;

/* The entry routine of a converted module: SUBROUTINE NAME(job). */
typedef void (*zx_entry_routine)(int* job);

/* Attaches the host's callbacks for the hosted regime; NULL detaches. */
void zx_attach_host(const zx_host* host);

/* Calls entry(job) and returns a ZX_STATUS_ value. job needs room for the
   10000 integers of the console main program; job[0] selects the regime. */
int zx_call_entry(zx_entry_routine entry, int* job);

#ifdef __cplusplus
}
#endif

#endif
