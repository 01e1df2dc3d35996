/* Test only, preloaded into qelpatch-build: a record of what makes its outputs
 * durable. Every rename, and every fsync or fdatasync of a folder, is added as
 * a line to the file $QELPATCH_TEST_SYNC_LOG: "rename FROM TO" and
 * "sync folder PATH" (the folder's path as the system names it). */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void Log(const char* what, const char* first, const char* second) {
  const char* log = getenv("QELPATCH_TEST_SYNC_LOG");
  if (log == NULL) return;
  char line[3 * PATH_MAX];
  int length = snprintf(line, sizeof line, "%s %s%s%s\n", what, first, second ? " " : "",
                        second ? second : "");
  int out = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (out < 0) return;
  ssize_t ignored = write(out, line, (size_t)length);
  (void)ignored;
  close(out);
}

static void LogIfFolder(int fd) {
  struct stat info;
  char link[64], path[PATH_MAX];
  if (fstat(fd, &info) != 0 || !S_ISDIR(info.st_mode)) return;
  snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t length = readlink(link, path, sizeof path - 1);
  if (length <= 0) return;
  path[length] = '\0';
  Log("sync folder", path, NULL);
}

int rename(const char* from, const char* to) {
  static int (*real)(const char*, const char*);
  if (real == NULL) real = (int (*)(const char*, const char*))dlsym(RTLD_NEXT, "rename");
  const int result = real(from, to);
  if (result == 0) Log("rename", from, to);
  return result;
}

int fsync(int fd) {
  static int (*real)(int);
  if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "fsync");
  const int result = real(fd);
  if (result == 0) LogIfFolder(fd);
  return result;
}

int fdatasync(int fd) {
  static int (*real)(int);
  if (real == NULL) real = (int (*)(int))dlsym(RTLD_NEXT, "fdatasync");
  const int result = real(fd);
  if (result == 0) LogIfFolder(fd);
  return result;
}
