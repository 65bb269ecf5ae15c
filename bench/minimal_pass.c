/* The yardstick for quenwick's cost: the same system calls as a pass in which nothing changed, with
   nothing else around them. Paths are the same as quenwick's under the Wine prefix $WINEPREFIX. */
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* const watched[] = {"hosts", "hosts.sam", "system32/drivers/etc/hosts",
                                      "system32/drivers/etc/hosts.sam"};

int main(void) {
  char path[PATH_MAX], directory[PATH_MAX], temporary[PATH_MAX], records[64] = "";
  const char* prefix = getenv("WINEPREFIX");
  if (prefix == NULL) return 2;

  for (int index = 0; index < 4; ++index) {
    struct stat status;
    long size = -1;
    snprintf(path, sizeof path, "%s/dosdevices/c:/windows/%s", prefix, watched[index]);
    if (stat(path, &status) == 0 && S_ISREG(status.st_mode)) size = (long)status.st_size;
    snprintf(records + strlen(records), sizeof records - strlen(records), "%ld\r\n", size);
  }

  const ssize_t length = readlink("/proc/self/exe", directory, sizeof directory - 1);
  if (length < 0) return 2;
  directory[length] = '\0';
  *strrchr(directory, '/') = '\0';
  snprintf(path, sizeof path, "%s/data.dat", directory);
  char head[64];
  const int baseline = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (baseline >= 0) {
    if (read(baseline, head, sizeof head) < 0) return 2;
    close(baseline);
  }

  snprintf(temporary, sizeof temporary, "%s.%d.tmp", path, (int)getpid());
  const int file = open(temporary, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
  const size_t size = strlen(records);
  if (file < 0 || write(file, records, size) != (ssize_t)size || fsync(file) != 0) return 1;
  if (close(file) != 0 || rename(temporary, path) != 0) return 1;
  return 0;
}
