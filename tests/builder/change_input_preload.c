/* Test only, preloaded into qelpatch-build: another program changing an input
 * file while the builder reads it, with no race. Right after the builder maps
 * the file whose path ends in $QELPATCH_TEST_CHANGE_FILE, the file is changed
 * as $QELPATCH_TEST_CHANGE_HOW says: "shrink" cuts it to half its size (the
 * next read of the mapping's second half faults), "edit" changes its middle
 * byte in place, keeping its size and modification time. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

static int Matches(int fd) {
  const char* wanted = getenv("QELPATCH_TEST_CHANGE_FILE");
  char link[64], path[PATH_MAX];
  if (wanted == NULL) return 0;
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, path, sizeof path - 1);
  if (length <= 0) return 0;
  path[length] = '\0';
  size_t want = strlen(wanted);
  return (size_t)length >= want && strcmp(path + length - want, wanted) == 0 ? 1 : 0;
}

static void Change(int fd) {
  const char* how = getenv("QELPATCH_TEST_CHANGE_HOW");
  char link[64], path[PATH_MAX];
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, path, sizeof path - 1);
  path[length] = '\0';
  struct stat before;
  int writer = open(path, O_RDWR);
  if (writer < 0 || fstat(writer, &before) != 0) return;
  if (how != NULL && strcmp(how, "shrink") == 0) {
    ftruncate(writer, before.st_size / 2);
  } else {
    unsigned char byte;
    pread(writer, &byte, 1, before.st_size / 2);
    byte ^= 0xFF;
    pwrite(writer, &byte, 1, before.st_size / 2);
    /* The modification time set back, as some tools do. */
    struct timespec times[2] = {before.st_atim, before.st_mtim};
    futimens(writer, times);
  }
  close(writer);
  unsetenv("QELPATCH_TEST_CHANGE_FILE");
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) {
  static void* (*real)(void*, size_t, int, int, int, off_t);
  if (real == NULL) real = (void* (*)(void*, size_t, int, int, int, off_t))dlsym(RTLD_NEXT, "mmap");
  void* mapping = real(address, length, protection, flags, fd, offset);
  if (mapping != MAP_FAILED && fd >= 0 && Matches(fd)) Change(fd);
  return mapping;
}
