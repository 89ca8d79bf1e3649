// A reader for Windows-style initialization files that answers like GetPrivateProfileStringA,
// for platforms that lack it. It streams the file through fixed buffers, so lines of any length
// and files of any size take the same memory.
#pragma once

#include <cstddef>
#include <cstdio>

#include "platform.h"

// How many keys one pass over a file can look up.
constexpr std::size_t kMaxProfileKeys = 4;

// Looks up every key in `section` of `file`, read once from its start, with the contract of
// lookup_settings in platform.h. Keys and section must hold no blanks; at most kMaxProfileKeys.
// Returns false, with every count 0 and the reason in errno, when reading the file failed.
bool read_profile_strings(FILE *file, const char *section, SettingLookup *lookups,
                          std::size_t count);

// Collects a value from its first non-blank character on, across the pieces of text read. The
// first character is held apart so that the rest can go straight into the caller's buffer, which
// then needs no room for an opening quote that turns out to be removed. The counters take a line
// of any length on every architecture: a 32-bit count would wrap after 4 GiB, and cut the value.
struct ValueCollector {
  char *buffer;
  unsigned long buffer_capacity;
  char first;
  unsigned long long seen;     // characters since the first, trailing blanks included
  unsigned long long trimmed;  // characters up to the last non-blank
  char last_non_blank;
  bool whole_characters;  // the text is UTF-8 decoded from UTF-16: never cut inside a character
};

// Takes the text from `from` to `to`, the value's next piece.
void collect_value(ValueCollector *value, const char *from, const char *to);

// Terminates the value in the buffer, trimmed and unquoted, and returns its length.
unsigned long finish_value(ValueCollector *value);

// One key of the file at `path`, opened as it stands.
unsigned long read_profile_string(const char *section, const char *key, char *value,
                                  unsigned long capacity, const char *path);
