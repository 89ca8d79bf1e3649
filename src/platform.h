// What the utility needs from the platform it runs on. Each platform's source file implements
// these; nothing else in the program depends on the platform.
#pragma once

#include <cstddef>
#include <cstdio>

// The separator placed between the current directory and the settings file's name.
extern const char kPathSeparator;

// How long a run waits for a file that another program holds, before it gives up on it.
constexpr unsigned kBusyWaitMilliseconds = 5000;

// Room for a reason in the system's words, terminator included.
constexpr std::size_t kReasonCapacity = 256;

// Readies the process for a run. Keeps signals from ending it part-way: a write past the file
// size limit, or to a pipe nobody reads, then fails and is handled like any other failed write.
// Where the program has a console window of its own that closes when it ends (started from a
// file manager), the window is kept open after the run until the user presses Enter.
void prepare_run();

// Writes text to standard output. On a console it shows the characters the text means, whatever
// the console's own code page, and leaves the console as it was.
void write_output(const char *text);

// Whether what write_output writes reaches a terminal in an 8-bit character set, which takes the
// bytes 0x80 to 0x9F as controls even inside UTF-8 characters.
bool output_charset_is_8_bit();

enum DirectoryOutcome {
  kDirectoryFound,
  kDirectoryUnknown,   // removed, too long, or no absolute path
  kDirectoryOfSystem,  // the system's own directory, where no image belongs
};

// Places the current working directory, terminated, in `directory`, and says whether a run may
// work there.
DirectoryOutcome get_current_directory(char *directory, std::size_t capacity);

// One key to look up in the settings file, and where its value goes.
struct SettingLookup {
  const char *key;
  char *value;
  unsigned long capacity;
  unsigned long count;  // characters placed, terminator not counted: 0 when absent or empty
};

// Whether the platform opens a file by a full path this long. Windows opens none of MAX_PATH
// characters or more, and resolves a relative name to a full path within the same limit.
bool full_path_fits(const char *path);

enum SettingsOutcome {
  kSettingsRead,
  kSettingsKeptChanging,  // no one version of the file could be read
  kSettingsInUse,         // another program kept it: open for writing or unshared, or leased
  kSettingsUnreadable,    // the file is there but cannot be opened or read: see `reason`
};

// Looks up each key in `section` of the settings file at `path`, the full path of a file in the
// current directory, as the Windows profile functions do with no default text: at most
// capacity - 1 characters of each value and a terminator, and a count of 0 when the file, the
// section or the key is absent, when the value is empty, and when the file is no regular file.
// All the values come from one version of the file. A file that another program keeps is waited
// for, kBusyWaitMilliseconds at most. A file that is there but cannot be opened or read fills
// `reason`, kReasonCapacity bytes, with why in the system's words.
SettingsOutcome lookup_settings(const char *section, SettingLookup *lookups, std::size_t count,
                                const char *path, char *reason);

// Converts a dotted IPv4 address to its four octets, first octet first. Returns false for a
// text that is no address.
bool convert_address(const char *text, unsigned char octets[4]);

// Opens an existing regular file in the current directory for reading and writing, unbuffered,
// without creating or truncating it, and holds it against every other run until it is closed;
// null for anything else. A file that another run holds, or another program keeps, is waited for,
// kBusyWaitMilliseconds at most, and the name's new file taken should it move on meanwhile;
// `in_use` tells when the wait was the reason for null.
FILE *open_for_update(const char *name, bool *in_use);

// The size of an open file in bytes; false when it cannot be had.
bool get_file_size(FILE *file, unsigned long long *size);

// Whether the process may write to a file up to `end` bytes from its start: a file size limit
// below that would cut a write short.
bool may_write_up_to(unsigned long long end);

// Sends what was written to the file through to its storage device. Returns false on failure.
bool flush_to_device(FILE *file);
