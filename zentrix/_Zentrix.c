/* The C part of the run-time library Zentrix: the two regimes (console and
 * hosted), the console buffer's way in and out, the handlers of converted
 * I/O statements, STOP without ending the process, and named events.
 * Fortran calls these routines by their gfortran names (lower case with a
 * trailing underscore; character arguments add hidden lengths at the end).
 */
#include <dirent.h>
#include <setjmp.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#ifdef ZX_MPI
#include <mpi.h>
#endif

#include "zentrix_host.h"

/* ZX_RECORD_LENGTH is zx_RecordLength of Zentrix.F90 and zentrix.h. */
enum { ZX_RECORD_LENGTH = 4096, ZX_EBUF_LENGTH = 256, ZX_NAME_LENGTH = 256 };

/* Records one console WRITE may make. The store is reserved, not committed:
   only records a program writes take memory. */
enum { ZX_RECORD_CAPACITY = 4096 };

/* Byte 250 separates records inside one record of the buffer in modules
   converted while the converter replaced the "/" of console FORMATs by it:
   their output calls Interface_IO with 1, 2 and 4. Later conversions keep
   "/" as written and call it with those values plus ZX_AS_WRITTEN; their
   text arrives as written, byte 250 (a letter in Windows-1251) included. */
#define ZX_RECORD_SEPARATOR ((char)250)
enum { ZX_AS_WRITTEN = 4 };

/* The COMMON blocks of the Fortran module Zentrix (and of zentrix.h). */
struct zx_text_block {
  char ebuf[ZX_EBUF_LENGTH];
  char dllname[ZX_NAME_LENGTH];
};
struct zx_data_block {
  int fo_error;
  int my_process;
  int communicator;
  int ierr;
};
struct zx_text_block zx_text_;
struct zx_data_block zx_data_;

static const zx_host* attached_host; /* callbacks of the hosted regime */
static int hosted;                   /* the run uses attached_host */
static int started;                  /* Init_zx let the main routine run */
static int run_status = ZX_STATUS_OK;
/* The code of the STOP that ended the last run; 0 without one. */
static int stop_code = 0;
static int stop_point_set;
static jmp_buf stop_point;
static void cancel_run(void); /* the host cancelled a read (host side below) */

/* The console buffer's records (zx_BufIO). A record that
   no WRITE has filled since the last reset ends in code 0 (a WRITE pads its
   records with blanks). */
static char* record_store;
static int record_capacity;
static int input_records = 1; /* 0 after the end of input */

/* Fortran side of the buffer (Zentrix.F90). */
void zx_attach_records(void* store, int count);
void zx_view_records(int count);
void zx_console_line(const char* text, int length);
void zx_flush_console(void);
void zx_console_piece(const char* text, int length);
void zx_flush_partial(void);
void zx_close_partial(void);

/* Length of a Fortran text without its trailing blanks. */
static size_t trimmed_length(const char* text, size_t length) {
  while (length > 0 && text[length - 1] == ' ') --length;
  return length;
}

static int is_output_process(void) {
#ifdef ZX_MPI
  return zx_data_.my_process == 0;
#else
  return 1;
#endif
}

/* Hosted regime: the text of non-advancing output that waits for the rest
   of its line (the console regime leaves it on unit 6 itself). */
static char* pending_text;
static size_t pending_length, pending_capacity;

/* Returns 0 when there is no memory for the piece. */
static int append_pending(const char* text, size_t length) {
  if (pending_length + length + 1 > pending_capacity) {
    size_t capacity = 2 * (pending_length + length) + 64;
    char* grown = realloc(pending_text, capacity);
    if (!grown) return 0;
    pending_text = grown;
    pending_capacity = capacity;
  }
  memcpy(pending_text + pending_length, text, length);
  pending_length += length;
  return 1;
}

static void emit_line(int debug, const char* text, size_t length) {
  if (hosted && attached_host && !debug && pending_length > 0) {
    /* The line goes on from the pending pieces. */
    int joined = append_pending(text, length);
    size_t whole = pending_length;
    pending_length = 0;
    if (attached_host->write_line)
      attached_host->write_line(attached_host->context, pending_text, (int)whole);
    if (joined) return;
  }
  if (hosted && attached_host) {
    void (*sink)(void*, const char*, int) =
        debug ? attached_host->debug_line : attached_host->write_line;
    if (sink) sink(attached_host->context, text, (int)length);
    return;
  }
  if (debug) {
    fwrite(text, 1, length, stderr);
    fputc('\n', stderr);
  } else {
    zx_console_line(text, (int)length);
  }
}

/* Emits one record, split at byte 250 when separated, each line without
   trailing blanks. */
static void emit_record(int debug, int separated, const char* text, size_t length) {
  length = trimmed_length(text, length);
  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    if (i == length || (separated && text[i] == ZX_RECORD_SEPARATOR)) {
      emit_line(debug, text + start, trimmed_length(text + start, i - start));
      start = i + 1;
    }
  }
}

/* A hosted READ shows the pending pieces (a prompt) as a line first; so
   does the end of the run. */
static void flush_pending(void) {
  if (!hosted || !attached_host || pending_length == 0) return;
  size_t length = pending_length;
  pending_length = 0;
  if (attached_host->write_line)
    attached_host->write_line(attached_host->context, pending_text, (int)length);
}

/* ADVANCE='NO': the converted WRITE went to zx_PartUnit, a file of the
   library reached through this descriptor. */
static int partial_fd = -1;

int zx_partial_descriptor(void) {
  if (partial_fd >= 0) return partial_fd;
  const char* dir = getenv("TMPDIR");
  char path[4096];
  snprintf(path, sizeof path, "%s/zentrix-partial-XXXXXX", dir && *dir ? dir : "/tmp");
  int fd = mkstemp(path);
  if (fd < 0) return -1;
  unlink(path); /* gone with the process */
  partial_fd = fd;
  return fd;
}

/* Each line end ("/" of the format; byte 250 when separated) completes a
   console line; the text after the last one begins the next line. */
static void emit_partial(int separated, const char* text, size_t length) {
  size_t start = 0;
  for (size_t i = 0; i < length; ++i) {
    if (text[i] != '\n' && !(separated && text[i] == ZX_RECORD_SEPARATOR)) continue;
    emit_line(0, text + start, trimmed_length(text + start, i - start));
    start = i + 1;
  }
  if (start == length) return;
  if (hosted && attached_host) {
    if (!append_pending(text + start, length - start))
      emit_line(0, text + start, length - start); /* no memory: a line of its own */
  } else
    zx_console_piece(text + start, (int)(length - start));
}

/* The file only grows: what an earlier Interface_IO(4) took stays behind. */
static off_t partial_taken;

/* The run is over: the file goes, and so does the pending text. */
static void end_partial(void) {
  if (partial_fd >= 0) {
    zx_close_partial();
    close(partial_fd);
    partial_fd = -1;
    partial_taken = 0;
  }
  free(pending_text);
  pending_text = NULL;
  pending_length = pending_capacity = 0;
}

static void take_partial(int separated) {
  if (partial_fd < 0) return;
  zx_flush_partial();
  struct stat status;
  if (fstat(partial_fd, &status) != 0 || status.st_size <= partial_taken) return;
  size_t size = (size_t)(status.st_size - partial_taken);
  char* text = malloc(size);
  ssize_t got = text ? pread(partial_fd, text, size, partial_taken) : -1;
  if (got > 0) {
    partial_taken += got;
    if (is_output_process()) emit_partial(separated, text, (size_t)got);
  }
  free(text);
}

static char* record_at(int index) {
  return record_store + (size_t)index * ZX_RECORD_LENGTH;
}

static int record_written(int index) {
  return record_at(index)[ZX_RECORD_LENGTH - 1] != 0;
}

/* Reserves the record store once; a smaller one when address space is
   short. */
static void ensure_records(void) {
  if (record_store) return;
  for (int count = ZX_RECORD_CAPACITY; count >= 1; count /= 2) {
    size_t bytes = (size_t)count * ZX_RECORD_LENGTH * sizeof(char);
    void* store = mmap(NULL, bytes, PROT_READ | PROT_WRITE,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (store == MAP_FAILED) continue;
    record_store = store;
    record_capacity = count;
    zx_attach_records(store, count);
    return;
  }
  fputs("Zentrix: no memory for the console buffer\n", stderr);
  abort();
}

/* Records a WRITE filled: the first, and those after it up to the first
   record never written. */
static int records_filled(void) {
  int count = 1;
  while (count < record_capacity && record_written(count)) ++count;
  return count;
}

/* Marks records 2 to count as never written; large stretches go back to
   the system, which hands them back as zeros. */
static void reset_records(int count) {
  enum { KEPT = 64 };
  for (int i = 1; i < count && i < KEPT; ++i) record_at(i)[ZX_RECORD_LENGTH - 1] = 0;
  if (count > KEPT)
    madvise(record_at(KEPT), (size_t)(count - KEPT) * ZX_RECORD_LENGTH * sizeof(char),
            MADV_DONTNEED);
}

/* Emits the records a WRITE filled, then lets zx_BufIO view one record. */
static void emit_buffer(int debug, int separated) {
  int count = records_filled();
  if (is_output_process())
    for (int r = 0; r < count; ++r)
      emit_record(debug, separated, record_at(r), ZX_RECORD_LENGTH);
  reset_records(count);
  zx_view_records(1);
}

static void report(const char* what) {
  char line[ZX_EBUF_LENGTH + 64];
  size_t length = trimmed_length(zx_text_.ebuf, ZX_EBUF_LENGTH);
  int n = snprintf(line, sizeof line, "Zentrix: %s in %.*s", what, (int)length, zx_text_.ebuf);
  if (is_output_process())
    emit_line(1, line, (size_t)n < sizeof line ? (size_t)n : sizeof line - 1);
}

/* Reads the next input line into the first record: blank-padded, or a
   first character 0 at the end of input. zx_BufIO then views that record
   alone: a READ takes its values from one line. */
static void fill_buffer(void) {
  char* record = record_at(0);
  int length = -1;
  if (is_output_process()) {
    if (hosted && attached_host && attached_host->read_line) {
      flush_pending();
      length = attached_host->read_line(attached_host->context, record, ZX_RECORD_LENGTH);
      if (length == ZX_READ_CANCELLED) cancel_run();
    } else {
      zx_flush_console(); /* a prompt written before the READ shows first */
      fflush(stdout);
      int c;
      length = 0;
      while ((c = getchar()) != EOF && c != '\n')
        if (length < ZX_RECORD_LENGTH) record[length++] = (char)c;
      if (c == EOF && length == 0) length = -1;
      if (length > 0 && record[length - 1] == '\r') --length;
    }
    if (length > ZX_RECORD_LENGTH) length = ZX_RECORD_LENGTH;
  }
  int used = length < 0 ? 0 : length;
  memset(record + used, ' ', (size_t)(ZX_RECORD_LENGTH - used));
  if (length < 0) record[0] = '\0';
  input_records = length < 0 ? 0 : 1;
#ifdef ZX_MPI
  /* Process 0 reads; every process gets the line. */
  MPI_Bcast(record, ZX_RECORD_LENGTH, MPI_CHAR, 0, MPI_COMM_WORLD);
  MPI_Bcast(&input_records, 1, MPI_INT, 0, MPI_COMM_WORLD);
#endif
  zx_view_records(1);
}

/* ------------------------------------------------------------------------ */
/* Routines the converted code calls. */

int init_zx_(int* job) {
  ensure_records();
  zx_view_records(1);
  input_records = 1;
  memset(zx_text_.ebuf, ' ', ZX_EBUF_LENGTH);
  zx_data_.fo_error = 0;
  hosted = job[0] != ZX_REGIME_CONSOLE;
  if (hosted && !attached_host) return 1; /* nobody to talk to */
  started = 1;
  return 0;
}

/* Before a rewritten statement: the records of an earlier WRITE that was not
   emitted count as never written, and zx_BufIO views the whole store. The
   first record stays as it is: a trace line assigns it before this call. */
void zx_newrecord_(int* unit) {
  (void)unit;
  ensure_records();
  reset_records(records_filled());
  zx_view_records(record_capacity);
}

void interface_io_(int* k) {
  ensure_records();
  switch (*k) {
    case 1:
      emit_buffer(0, 1);
      break;
    case 2:
      emit_buffer(1, 1);
      break;
    case 3:
      fill_buffer();
      break;
    case 4:
      take_partial(1);
      break;
    case 1 + ZX_AS_WRITTEN:
      emit_buffer(0, 0);
      break;
    case 2 + ZX_AS_WRITTEN:
      emit_buffer(1, 0);
      break;
    case 4 + ZX_AS_WRITTEN:
      take_partial(0);
      break;
    default:
      break;
  }
}

int zx_inputrecords_(void) {
  return input_records;
}

int zx_inputlength_(void) {
  return input_records ? ZX_RECORD_LENGTH : 0;
}

void zx_io_error_(void) {
  report("I/O error");
  if (run_status == ZX_STATUS_OK) run_status = ZX_STATUS_IO_ERROR;
}

/* The end-of-file handler: the input ended, or a READ found too few values
   on the line it was given (a console READ takes one line), which is an
   input error and ends the run as one. */
void zx_eof_read_(void) {
  if (input_records == 0) {
    report("end of input");
    if (run_status == ZX_STATUS_OK) run_status = ZX_STATUS_END_OF_INPUT;
    return;
  }
  report("too few values on the input line");
  if (run_status == ZX_STATUS_OK) run_status = ZX_STATUS_IO_ERROR;
}

/* STOP in a converted module: control goes back to the host. A program
   without a host (the console or MPI main program) ends with the code. */
static void stop_run(int code) {
  zx_flush_console();
  fflush(stdout);
  fflush(stderr);
  if (stop_point_set) {
    if (run_status == ZX_STATUS_OK) run_status = ZX_STATUS_STOPPED;
    stop_code = code;
    longjmp(stop_point, 1);
  }
#ifdef ZX_MPI
  MPI_Finalize();
#endif
  exit(code);
}

void zx_instead_of_stop_(void) {
  stop_run(0);
}

/* STOP n: as the compiler reports it, "STOP n" on standard error. */
void zx_stopwithcode_(const int* code) {
  zx_flush_console();
  if (is_output_process()) fprintf(stderr, "STOP %d\n", *code);
  stop_run(*code);
}

/* STOP 'message': "STOP message" on standard error; the code is 0. */
void zx_stopwithmessage_(const char* message, size_t length) {
  zx_flush_console();
  if (is_output_process()) fprintf(stderr, "STOP %.*s\n", (int)length, message);
  stop_run(0);
}

int zx_stop_code(void) {
  return stop_code;
}

void zx_raiseevent_(const char* name, const char* value, size_t name_length, size_t value_length) {
  char* n = strndup(name, trimmed_length(name, name_length));
  char* v = strndup(value, trimmed_length(value, value_length));
  if (hosted && attached_host && attached_host->event) {
    attached_host->event(attached_host->context, n, v);
  } else if (is_output_process()) {
    fprintf(stderr, "Zentrix event %s: %s\n", n, v);
  }
  free(n);
  free(v);
}

/* The entry of directory that matches name whatever its letter case, copied
   over name (same length); false when there is none. */
static int match_entry_case(const char* directory, char* name) {
  DIR* dir = opendir(directory);
  if (!dir) return 0;
  size_t length = strlen(name);
  int found = 0;
  struct dirent* entry;
  while (!found && (entry = readdir(dir)) != NULL) {
    if (strlen(entry->d_name) == length && strcasecmp(entry->d_name, name) == 0) {
      memcpy(name, entry->d_name, length);
      found = 1;
    }
  }
  closedir(dir);
  return found;
}

/* A file name that does not exist as written is looked up part by part
   whatever the letter case of each directory and of the file (names in
   programs from other systems), and "\" counts as a directory separator.
   The name is changed in place (same length, blank-padded); a part without
   any match ends the lookup, so a new file keeps the case of its name. */
void zx_resolve_name_(char* name, size_t length) {
  size_t used = trimmed_length(name, length);
  if (used == 0 || used >= 4096) return;
  char path[4096];
  memcpy(path, name, used);
  path[used] = '\0';
  struct stat info;
  if (stat(path, &info) == 0) return;
  for (char* c = path; *c; ++c)
    if (*c == '\\') *c = '/';
  size_t start = path[0] == '/' ? 1 : 0;
  while (start < used) {
    char* slash = strchr(path + start, '/');
    size_t end = slash ? (size_t)(slash - path) : used;
    if (end > start) {
      char saved = path[end];
      path[end] = '\0';
      if (stat(path, &info) != 0) {
        char directory[4096];
        if (start == 0) {
          strcpy(directory, ".");
        } else {
          memcpy(directory, path, start);
          directory[start] = '\0';
        }
        if (!match_entry_case(directory, path + start)) {
          path[end] = saved;
          break;
        }
      }
      path[end] = saved;
    }
    start = end + 1;
  }
  memcpy(name, path, used);
}

/* ------------------------------------------------------------------------ */
/* MPI start-up of the "Program MPI" main program. */

#ifdef ZX_MPI
void mpi_start_(void) {
  int rank = 0;
  MPI_Init(NULL, NULL);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  ensure_records();
  zx_data_.my_process = rank;
  zx_data_.communicator = (int)MPI_Comm_c2f(MPI_COMM_WORLD);
  zx_data_.ierr = 0;
}
#endif

/* Seeds the C generator of the library per process. */
void randominitiate_(int* seed, int* process) {
  srand((unsigned)(*seed * 7919 + *process + 1));
}

/* ------------------------------------------------------------------------ */
/* The host side (zentrix_host.h). */

int zx_attach_host(const zx_host* host) {
  if (host && (host->version != ZX_HOST_API_VERSION || host->size != (int)sizeof(zx_host)))
    return -1;
  attached_host = host;
  return 0;
}

/* Ends the run at once, as STOP does, without reading further input. */
static void cancel_run(void) {
  if (!stop_point_set) exit(ZX_STATUS_CANCELLED);
  run_status = ZX_STATUS_CANCELLED;
  longjmp(stop_point, 1);
}

int zx_call_entry(zx_entry_routine entry, int* job) {
  run_status = ZX_STATUS_OK;
  stop_code = 0;
  started = 0;
  stop_point_set = 1;
  if (setjmp(stop_point) == 0) entry(job);
  stop_point_set = 0;
  flush_pending();
  end_partial();
  zx_flush_console();
  fflush(stdout);
  fflush(stderr);
  if (!started) return ZX_STATUS_NOT_STARTED;
  return run_status;
}
