// A reader for Windows-style initialization files that answers like GetPrivateProfileStringA,
// for platforms that lack it. It streams the file through fixed buffers, so lines of any length
// and files of any size take the same memory.
#pragma once

#include <cstddef>

// Bytes read from the file at a time; a UTF-16 file decodes to half as many characters. The
// fuzzing build makes it small, so that short inputs cross many chunk boundaries.
#ifndef PROFILE_READ_CHUNK
#define PROFILE_READ_CHUNK 65536
#endif
constexpr std::size_t kProfileReadChunk = PROFILE_READ_CHUNK;
static_assert(kProfileReadChunk >= 4 && kProfileReadChunk % 2 == 0,
              "a chunk holds any byte order mark and whole UTF-16 units");

// Same contract as lookup_setting in platform.h. `section` and `key` must hold no blanks.
unsigned long read_profile_string(const char *section, const char *key, char *value,
                                  unsigned long capacity, const char *path);
