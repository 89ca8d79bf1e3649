// The settings file's text as the settings reader sees it: read a chunk at a time, its byte order
// mark recognised and skipped, UTF-16 decoded to UTF-8, other files' bytes taken as they are.
#pragma once

#include <cstddef>
#include <cstdio>

// Bytes read from the file at a time. The fuzzing build makes it small, so that short inputs
// cross many chunk boundaries.
#ifndef PROFILE_READ_CHUNK
#define PROFILE_READ_CHUNK 65536
#endif
constexpr std::size_t kProfileReadChunk = PROFILE_READ_CHUNK;
static_assert(kProfileReadChunk >= 4 && kProfileReadChunk % 2 == 0,
              "a chunk holds any byte order mark and whole UTF-16 units");

enum Encoding { kSingleByte, kUtf16LittleEndian, kUtf16BigEndian };

// Where reading a file has got to. Fill it with start_text(); one file is read at a time.
struct TextSource {
  FILE *file;
  bool at_start;
  bool at_end;  // a short read has been seen
  Encoding encoding;
  int pending_byte;         // first byte of a UTF-16 unit split between chunks, or -1
  unsigned high_surrogate;  // a high surrogate waiting for its low one, or 0
};

TextSource start_text(FILE *file);

// Reads the next piece of the file as text: UTF-8 for a UTF-16 file, a surrogate without its
// partner becoming U+FFFD; the bytes as they are for any other. The piece stays valid until the
// next call. Returns false at the end of the file or on an error (see ferror).
bool read_text(TextSource *source, const char **text, std::size_t *length);

// Whether the text is UTF-8 decoded from UTF-16, which must never be cut inside a character.
bool is_decoded(const TextSource &source);

// The length of the longest run of whole characters at the start of `text`, which is valid UTF-8
// but may end inside a character.
unsigned long whole_utf8_prefix(const char *text, unsigned long length);
