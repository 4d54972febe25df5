/* Finding the routines of a converted module that a host calls: only a
 * routine the module itself defines counts. dlsym also searches the module's
 * dependencies, so a name such as STAT, EXIT or ABORT would otherwise reach
 * the C library or the Fortran run-time library and be called as if it were
 * the module's entry routine. */
#ifndef ZENTRIX_MODULE_H
#define ZENTRIX_MODULE_H

#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <ctype.h>
#include <dlfcn.h>
#include <link.h>
#include <string.h>

/* symbol lies in the object that handle names. */
static inline int zx_module_defines(void* handle, const void* symbol) {
  struct link_map* module_map = NULL;
  struct link_map* symbol_map = NULL;
  Dl_info info;
  if (!symbol || dlinfo(handle, RTLD_DI_LINKMAP, &module_map) != 0 || !module_map) return 0;
  if (!dladdr1(symbol, &info, (void**)&symbol_map, RTLD_DL_LINKMAP) || !symbol_map) return 0;
  return symbol_map == module_map;
}

/* A routine the module defines under name: as given, then as gfortran
   exports SUBROUTINE NAME (lower case with an underscore), then in lower
   case alone. NULL when the module defines none of them. */
static inline void* zx_find_module_routine(void* handle, const char* name) {
  char candidate[512];
  size_t length = strlen(name);
  if (length == 0 || length + 2 > sizeof candidate) return NULL;
  void* symbol = dlsym(handle, name);
  if (zx_module_defines(handle, symbol)) return symbol;
  for (size_t i = 0; i <= length; ++i) candidate[i] = (char)tolower((unsigned char)name[i]);
  strcat(candidate, "_");
  symbol = dlsym(handle, candidate);
  if (zx_module_defines(handle, symbol)) return symbol;
  candidate[length] = '\0';
  symbol = dlsym(handle, candidate);
  return zx_module_defines(handle, symbol) ? symbol : NULL;
}

/* The entry routine's name recorded by the build (zx_entry_name), or NULL. */
static inline const char* zx_recorded_entry_name(void* handle) {
  const char* recorded = (const char*)dlsym(handle, "zx_entry_name");
  return recorded && *recorded && zx_module_defines(handle, recorded) ? recorded : NULL;
}

#endif
