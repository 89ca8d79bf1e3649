// What the utility needs from the platform it runs on. Each platform's source file implements
// these; nothing else in the program depends on the platform.
#pragma once

#include <cstddef>
#include <cstdio>

// The separator placed between the current directory and the settings file's name.
extern const char kPathSeparator;

// Keeps signals from ending a run part-way: a write past the file size limit, or to a pipe
// nobody reads, then fails and is handled like any other failed write.
void ignore_write_signals();

// Writes text to standard output. On a console it shows the characters the text means, whatever
// the console's own code page, and leaves the console as it was.
void write_output(const char *text);

// Places the current working directory, terminated, in `directory`. Returns false when it
// cannot be had (removed, or too long for the buffer).
bool get_current_directory(char *directory, std::size_t capacity);

// One key to look up in the settings file, and where its value goes.
struct SettingLookup {
  const char *key;
  char *value;
  unsigned long capacity;
  unsigned long count;  // characters placed, terminator not counted: 0 when absent or empty
};

enum SettingsOutcome {
  kSettingsRead,
  kSettingsPathTooLong,   // the platform cannot open a file by so long a path
  kSettingsKeptChanging,  // no one version of the file could be read
};

// Looks up each key in `section` of the settings file at `path`, the full path of a file in the
// current directory, as the Windows profile functions do with no default text: at most
// capacity - 1 characters of each value and a terminator, and a count of 0 when the file, the
// section or the key is absent, when the value is empty, and when the file is no regular file.
// All the values come from one version of the file.
SettingsOutcome lookup_settings(const char *section, SettingLookup *lookups, std::size_t count,
                                const char *path);

// Converts a dotted IPv4 address to its four octets, first octet first. Returns false for a
// text that is no address.
bool convert_address(const char *text, unsigned char octets[4]);

// Opens an existing regular file in the current directory for reading and writing, unbuffered,
// without creating or truncating it and without waiting; null for anything else.
FILE *open_for_update(const char *name);

// The size of an open file in bytes; false when it cannot be had.
bool get_file_size(FILE *file, unsigned long long *size);

// Whether the process may write to a file up to `end` bytes from its start: a file size limit
// below that would cut a write short.
bool may_write_up_to(unsigned long long end);

// Sends what was written to the file through to its storage device. Returns false on failure.
bool flush_to_device(FILE *file);
