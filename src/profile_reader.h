// A reader for Windows-style initialization files that answers like GetPrivateProfileStringA,
// for platforms that lack it. It streams the file through fixed buffers, so lines of any length
// and files of any size take the same memory.
#pragma once

#include <cstddef>

// Bytes read from the file at a time; a UTF-16 file decodes to half as many characters.
constexpr std::size_t kProfileReadChunk = 64 * 1024;

// Same contract as lookup_setting in platform.h. `section` and `key` must hold no blanks.
unsigned long read_profile_string(const char *section, const char *key, char *value,
                                  unsigned long capacity, const char *path);
