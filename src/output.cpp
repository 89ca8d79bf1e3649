// The program's output: messages formatted, their control characters escaped, and written out.
#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "netcfg.h"
#include "platform.h"

namespace {

// The length of the well-formed UTF-8 character at `text`, or 0 when none starts there.
std::size_t utf8_character_length(const unsigned char *text, const unsigned char *end) {
  unsigned char lead = *text;
  std::size_t length = lead < 0x80                    ? 1
                       : lead >= 0xC2 && lead <= 0xDF ? 2
                       : lead >= 0xE0 && lead <= 0xEF ? 3
                       : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                      : 0;
  if (length == 0 || static_cast<std::size_t>(end - text) < length) {
    return 0;
  }
  // The second byte's range rules out overlong forms, surrogates and code points past U+10FFFF.
  unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
  unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
  for (std::size_t i = 1; i < length; ++i, low = 0x80, high = 0xBF) {
    if (text[i] < low || text[i] > high) {
      return 0;
    }
  }
  return length;
}

// Whether a UTF-8 character of `length` bytes holds a byte from 80 to 9F, which only its
// continuation bytes can be.
bool holds_c1_byte(const unsigned char *character, std::size_t length) {
  for (std::size_t i = 1; i < length; ++i) {
    if (character[i] <= 0x9F) {
      return true;
    }
  }
  return false;
}

// Writes `text` to `shown` with every control character escaped as \xHH: C0 controls, DEL, C1
// controls in their UTF-8 form (C2 80 to C2 9F), and the bytes 80 to 9F that are no part of
// well-formed UTF-8, which a terminal in an 8-bit character set takes as C1 controls. Such a
// terminal takes them inside UTF-8 characters too (E with caron is C4 9B, and 9B is CSI), so for
// it every character that holds one is escaped whole. All other bytes stay as they are.
void escape_controls(const char *text, const char *end, char *shown) {
  const auto *byte = reinterpret_cast<const unsigned char *>(text);
  const auto *stop = reinterpret_cast<const unsigned char *>(end);
  while (byte != stop) {
    std::size_t length = utf8_character_length(byte, stop);
    // The locale is asked only when a character holds such a byte.
    bool control = length == 0   ? *byte >= 0x80 && *byte <= 0x9F
                   : length == 1 ? *byte < 0x20 || *byte == 0x7F
                                 : (*byte == 0xC2 && byte[1] <= 0x9F) ||
                                       (holds_c1_byte(byte, length) && output_charset_is_8_bit());
    for (const unsigned char *character_end = byte + (length == 0 ? 1 : length);
         byte != character_end; ++byte) {
      if (control) {
        (void)std::snprintf(shown, 5, "\\x%02X", *byte);
        shown += 4;
      } else {
        *shown++ = static_cast<char>(*byte);
      }
    }
  }
  *shown = '\0';
}

}  // namespace

// No text from outside the program (a directory's name, a value, a reason) can move the cursor,
// retitle the terminal or forge a line: only the line breaks that end the format are the
// program's own, and everything before them is escaped.
void print_message(const char *format, ...) {  // NOLINT(cert-dcl50-cpp): checked as printf's
  // The longest message holds the settings path and a reason or an address text.
  static char message[2 * sizeof NetworkSettings::settings_path];
  static char shown[4 * sizeof message];
  va_list arguments;
  va_start(arguments, format);
  (void)std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  std::size_t format_length = std::strlen(format), own_breaks = 0;
  while (own_breaks < format_length && format[format_length - 1 - own_breaks] == '\n') {
    ++own_breaks;
  }
  std::size_t length = std::strlen(message);
  const char *breaks = message + length - (own_breaks < length ? own_breaks : length);
  escape_controls(message, breaks, shown);
  std::strcat(shown, breaks);  // NOLINT(cert-err33-c): it returns its first argument
  write_output(shown);
}
