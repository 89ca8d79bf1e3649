// The platform layer for Linux and other POSIX systems.
#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform.h"
#include "profile_reader.h"

const char kPathSeparator = '/';

namespace {

// Opens a regular file without waiting: a named pipe or a device would otherwise block the open
// or feed the reader without end. Null with errno 0 for what is not there or is no regular file
// (a socket, which cannot be opened, among them); null with the reason in errno for a file that
// is there and cannot be opened, EWOULDBLOCK for one under another program's lease.
FILE *open_regular_file(const char *name, int flags, const char *mode) {
  int fd = open(name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  struct stat status = {};
  if (fd < 0) {
    int reason = errno;
    errno = reason == ENOENT || (stat(name, &status) == 0 && !S_ISREG(status.st_mode)) ? 0 : reason;
    return nullptr;
  }
  FILE *file = nullptr;
  errno = 0;
  if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    file = fdopen(fd, mode);
  }
  if (!file) {
    int reason = errno;
    (void)close(fd);
    errno = reason;
    return nullptr;
  }
  // Reads and writes go straight to the file from the caller's buffers.
  (void)std::setvbuf(file, nullptr, _IONBF, 0);
  return file;
}

long long milliseconds_now() {
  timespec now{};
  (void)clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

void pause_before_next_try() {
  timespec step{0, 10L * 1000 * 1000};
  (void)nanosleep(&step, nullptr);
}

// Opens a regular file as open_regular_file does, waiting until `deadline` while another
// program's lease keeps it: the open has asked the holder to let go, as Samba does for a Windows
// client that has the file open, and one that answers in time is waited for.
FILE *open_waiting_for_lease(const char *name, int flags, const char *mode, long long deadline) {
  for (;;) {
    FILE *file = open_regular_file(name, flags, mode);
    if (file || errno != EWOULDBLOCK || milliseconds_now() >= deadline) {
      return file;
    }
    pause_before_next_try();
  }
}

// Whether `name` still leads to the open file.
bool still_named(FILE *file, const char *name) {
  struct stat opened = {};
  struct stat named = {};
  return fstat(fileno(file), &opened) == 0 && stat(name, &named) == 0 &&
         opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

enum LockOutcome { kLocked, kHeldByAnother, kNameMovedOn };

// Takes the file for this process alone, waiting until `deadline` while another holds it, and
// for as long as `name` leads to it: a build step that renames a new image into place, or
// removes it, ends the wait for the old one. The lock goes with the close.
LockOutcome lock_while_named(FILE *file, const char *name, long long deadline) {
  for (;;) {
    // On a file system that keeps no locks the run goes on unguarded, as it would without them.
    bool locked = flock(fileno(file), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
    if (!still_named(file, name)) {
      return kNameMovedOn;
    }
    if (locked) {
      return kLocked;
    }
    if (milliseconds_now() >= deadline) {
      return kHeldByAnother;
    }
    pause_before_next_try();
  }
}

void copy_reason(int error, char *reason) {
  (void)std::snprintf(reason, kReasonCapacity, "%s", std::strerror(error));
}

}  // namespace

void prepare_run() {
  (void)signal(SIGXFSZ, SIG_IGN);
  (void)signal(SIGPIPE, SIG_IGN);
}

void write_output(const char *text) {
  (void)std::fputs(text, stdout);
}

// The terminal's character set is the locale's: that of LC_ALL, LC_CTYPE or LANG, the first set
// and not empty, named language[_territory][.codeset][@modifier], or by its codeset alone
// (UTF-8, as a macOS terminal sends it over ssh). Any locale but C and POSIX whose codeset is not
// UTF-8 is an 8-bit one, a name without a codeset (de_DE) among them.
bool output_charset_is_8_bit() {
  static const char *const kVariables[] = {"LC_ALL", "LC_CTYPE", "LANG"};
  const char *locale = nullptr;
  for (const char *variable : kVariables) {
    locale = std::getenv(variable);
    if (locale != nullptr && *locale != '\0') {
      break;
    }
  }
  if (locale == nullptr || *locale == '\0' || std::strcmp(locale, "C") == 0 ||
      std::strcmp(locale, "POSIX") == 0) {
    return false;
  }
  // UTF-8 however it is spelled: UTF-8, utf8, UTF_8.
  const char *codeset = std::strchr(locale, '.');
  char spelled[5] = {};
  std::size_t length = 0;
  for (const char *c = codeset ? codeset + 1 : locale; *c != '\0' && *c != '@'; ++c) {
    if (*c == '-' || *c == '_') {
      continue;
    }
    if (length == sizeof spelled - 1) {
      return true;
    }
    spelled[length++] = static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
  }
  return std::strcmp(spelled, "utf8") != 0;
}

// Files of the current directory are opened by their own names, however long its path.
bool full_path_fits(const char * /*path*/) {
  return true;
}

DirectoryOutcome get_current_directory(char *directory, std::size_t capacity) {
  return getcwd(directory, capacity) != nullptr ? kDirectoryFound : kDirectoryUnknown;
}

SettingsOutcome lookup_settings(const char *section, SettingLookup *lookups, std::size_t count,
                                const char *path, char *reason) {
  for (std::size_t i = 0; i < count; ++i) {
    lookups[i].count = 0;
    lookups[i].value[0] = '\0';
  }
  // Opened by its own name in the current directory: the same file as `path`, and found however
  // close the directory's name comes to the longest path the system takes. One open serves all
  // the keys, so that a file replaced meanwhile is read whole in one version.
  const char *separator = std::strrchr(path, kPathSeparator);
  FILE *file = open_waiting_for_lease(separator ? separator + 1 : path, O_RDONLY, "rb",
                                      milliseconds_now() + kBusyWaitMilliseconds);
  if (!file) {
    if (errno == 0) {
      return kSettingsRead;  // absent, or no regular file: every key is missing
    }
    if (errno == EWOULDBLOCK) {
      return kSettingsInUse;
    }
    copy_reason(errno, reason);
    return kSettingsUnreadable;
  }
  bool read = read_profile_strings(file, section, lookups, count);
  int read_error = errno;
  (void)std::fclose(file);  // read only: closing cannot lose anything
  if (!read) {
    copy_reason(read_error, reason);
    return kSettingsUnreadable;
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

FILE *open_for_update(const char *name, bool *in_use) {
  *in_use = false;
  long long deadline = milliseconds_now() + kBusyWaitMilliseconds;
  for (;;) {
    FILE *file = open_waiting_for_lease(name, O_RDWR, "rb+", deadline);
    if (!file) {
      *in_use = errno == EWOULDBLOCK;
      return nullptr;
    }
    LockOutcome outcome = lock_while_named(file, name, deadline);
    if (outcome == kLocked) {
      return file;
    }
    (void)std::fclose(file);
    // The name's new file is the one to write, and no file means no image; but a name that
    // moves on again and again is given up with the wait.
    if (outcome == kHeldByAnother || milliseconds_now() >= deadline) {
      *in_use = true;
      return nullptr;
    }
  }
}

bool get_file_size(FILE *file, unsigned long long *size) {
  struct stat status = {};
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
  // The file's times too: on a memory card they are kept in the directory entry.
  return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}
