/* Test only, preloaded into qelpatch-build: a folder the builder may not
 * read, which root cannot make with permissions. opendir of a path ending in
 * $QELPATCH_TEST_UNREADABLE fails with EACCES. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>

DIR* opendir(const char* path) {
  static DIR* (*real)(const char*) = NULL;
  if (real == NULL) real = (DIR * (*)(const char*)) dlsym(RTLD_NEXT, "opendir");
  const char* unreadable = getenv("QELPATCH_TEST_UNREADABLE");
  const size_t length = strlen(path);
  const size_t want = unreadable ? strlen(unreadable) : 0;
  if (unreadable && length >= want && strcmp(path + length - want, unreadable) == 0) {
    errno = EACCES;
    return NULL;
  }
  return real(path);
}
