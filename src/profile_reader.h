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

// One key of the file at `path`, opened as it stands.
unsigned long read_profile_string(const char *section, const char *key, char *value,
                                  unsigned long capacity, const char *path);
