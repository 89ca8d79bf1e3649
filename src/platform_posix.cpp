// The platform layer for Linux and other POSIX systems.
#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "platform.h"
#include "profile_reader.h"

const char kPathSeparator = '/';

namespace {

// Opens a regular file without waiting: a named pipe or a device would otherwise block the open
// or feed the reader without end.
FILE *open_regular_file(const char *name, int flags, const char *mode) {
  int fd = open(name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    return nullptr;
  }
  struct stat status {};
  FILE *file = nullptr;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    file = fdopen(fd, mode);
  }
  if (!file) {
    (void)close(fd);
    return nullptr;
  }
  // Reads and writes go straight to the file from the caller's buffers.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

}  // namespace

void ignore_write_signals() {
  (void)signal(SIGXFSZ, SIG_IGN);
  (void)signal(SIGPIPE, SIG_IGN);
}

void write_output(const char *text) {
  (void)std::fputs(text, stdout);
}

bool get_current_directory(char *directory, std::size_t capacity) {
  return getcwd(directory, capacity) != nullptr;
}

SettingsOutcome lookup_settings(const char *section, SettingLookup *lookups, std::size_t count,
                                const char *path) {
  for (std::size_t i = 0; i < count; ++i) {
    lookups[i].count = 0;
    lookups[i].value[0] = '\0';
  }
  // Opened by its own name in the current directory: the same file as `path`, and found however
  // close the directory's name comes to the longest path the system takes. One open serves all
  // the keys, so that a file replaced meanwhile is read whole in one version.
  const char *separator = std::strrchr(path, kPathSeparator);
  FILE *file = open_regular_file(separator ? separator + 1 : path, O_RDONLY, "rb");
  if (file) {
    read_profile_strings(file, section, lookups, count);
    (void)std::fclose(file);  // read only: closing cannot lose anything
  }
  return kSettingsRead;
}

bool convert_address(const char *text, unsigned char octets[4]) {
  in_addr address{};
  if (inet_aton(text, &address) == 0) {
    return false;
  }
  // s_addr is already in network byte order: its bytes in memory are the octets in order.
  std::memcpy(octets, &address.s_addr, 4);
  return true;
}

FILE *open_for_update(const char *name) {
  return open_regular_file(name, O_RDWR, "rb+");
}

bool get_file_size(FILE *file, unsigned long long *size) {
  struct stat status {};
  if (fstat(fileno(file), &status) != 0) {
    return false;
  }
  *size = static_cast<unsigned long long>(status.st_size);
  return true;
}

bool may_write_up_to(unsigned long long end) {
  rlimit limit{};
  return getrlimit(RLIMIT_FSIZE, &limit) == 0 &&
         (limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur >= end);
}

bool flush_to_device(FILE *file) {
  // The data is what must survive; the file's times may follow later.
  return std::fflush(file) == 0 && fdatasync(fileno(file)) == 0;
}
