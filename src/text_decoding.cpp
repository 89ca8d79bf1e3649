// The settings file's text: its byte order mark, UTF-16 decoded to UTF-8, and values cut to
// whole characters.
#include "text_decoding.h"

#include <cstring>

namespace {

// The file is read a chunk at a time into raw_chunk; UTF-16 is decoded into text_chunk, at most
// three bytes a unit, with room for a surrogate pair split between chunks and a U+FFFD at the end.
unsigned char raw_chunk[kProfileReadChunk];
char text_chunk[kProfileReadChunk / 2 * 3 + 8];

bool starts_with(const unsigned char *bytes, std::size_t length, const char *mark) {
  std::size_t mark_length = std::strlen(mark);
  return length >= mark_length && std::memcmp(bytes, mark, mark_length) == 0;
}

// Skips a byte order mark at the start of the file and returns its length.
std::size_t detect_encoding(TextSource *source, std::size_t length) {
  if (starts_with(raw_chunk, length, "\xFF\xFE")) {
    source->encoding = kUtf16LittleEndian;
    return 2;
  }
  if (starts_with(raw_chunk, length, "\xFE\xFF")) {
    source->encoding = kUtf16BigEndian;
    return 2;
  }
  return starts_with(raw_chunk, length, "\xEF\xBB\xBF") ? 3 : 0;
}

bool is_high_surrogate(unsigned unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(unsigned unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

std::size_t put_utf8(unsigned code_point, char *out) {
  auto byte = [](unsigned bits) { return static_cast<char>(bits); };
  if (code_point < 0x80) {
    out[0] = byte(code_point);
    return 1;
  }
  if (code_point < 0x800) {
    out[0] = byte(0xC0 | code_point >> 6);
    out[1] = byte(0x80 | (code_point & 0x3F));
    return 2;
  }
  if (code_point < 0x10000) {
    out[0] = byte(0xE0 | code_point >> 12);
    out[1] = byte(0x80 | (code_point >> 6 & 0x3F));
    out[2] = byte(0x80 | (code_point & 0x3F));
    return 3;
  }
  out[0] = byte(0xF0 | code_point >> 18);
  out[1] = byte(0x80 | (code_point >> 12 & 0x3F));
  out[2] = byte(0x80 | (code_point >> 6 & 0x3F));
  out[3] = byte(0x80 | (code_point & 0x3F));
  return 4;
}

constexpr unsigned kReplacementCharacter = 0xFFFD;

// Decodes UTF-16 to UTF-8; a surrogate without its partner becomes U+FFFD.
std::size_t decode_utf16(TextSource *source, std::size_t from, std::size_t to) {
  std::size_t decoded = 0;
  for (std::size_t i = from; i < to; ++i) {
    if (source->pending_byte < 0) {
      source->pending_byte = raw_chunk[i];
      continue;
    }
    unsigned unit = source->encoding == kUtf16LittleEndian
                        ? static_cast<unsigned>(source->pending_byte) | raw_chunk[i] << 8
                        : static_cast<unsigned>(source->pending_byte) << 8 | raw_chunk[i];
    source->pending_byte = -1;
    unsigned high = source->high_surrogate;
    source->high_surrogate = 0;
    if (high && is_low_surrogate(unit)) {
      unsigned code_point = 0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00);
      decoded += put_utf8(code_point, text_chunk + decoded);
      continue;
    }
    if (high) {
      decoded += put_utf8(kReplacementCharacter, text_chunk + decoded);
    }
    if (is_high_surrogate(unit)) {
      source->high_surrogate = unit;
    } else {
      decoded +=
          put_utf8(is_low_surrogate(unit) ? kReplacementCharacter : unit, text_chunk + decoded);
    }
  }
  if (source->at_end && source->high_surrogate) {
    source->high_surrogate = 0;
    decoded += put_utf8(kReplacementCharacter, text_chunk + decoded);
  }
  return decoded;
}

}  // namespace

TextSource start_text(FILE *file) {
  return TextSource{file, true, false, kSingleByte, -1, 0};
}

bool read_text(TextSource *source, const char **text, std::size_t *length) {
  if (source->at_end) {
    return false;
  }
  std::size_t got = std::fread(raw_chunk, 1, sizeof raw_chunk, source->file);
  source->at_end = got < sizeof raw_chunk;
  if (got == 0 && !source->high_surrogate) {
    return false;
  }
  std::size_t skip = 0;
  if (source->at_start) {
    source->at_start = false;
    skip = detect_encoding(source, got);
  }
  if (source->encoding == kSingleByte) {
    *text = reinterpret_cast<const char *>(raw_chunk) + skip;
    *length = got - skip;
  } else {
    *text = text_chunk;
    *length = decode_utf16(source, skip, got);
  }
  return true;
}

bool is_decoded(const TextSource &source) {
  return source.encoding != kSingleByte;
}

unsigned long whole_utf8_prefix(const char *text, unsigned long length) {
  unsigned long lead = length;
  while (lead > 0 && (static_cast<unsigned char>(text[lead - 1]) & 0xC0) == 0x80) {
    --lead;
  }
  if (lead == 0) {
    return 0;
  }
  unsigned char first = static_cast<unsigned char>(text[lead - 1]);
  unsigned long size = first < 0x80 ? 1 : first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : 2;
  return lead - 1 + size <= length ? length : lead - 1;
}
