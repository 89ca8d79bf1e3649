// The program's output: messages formatted, their control characters escaped, and written out.
#include "output.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "netcfg.h"
#include "platform.h"

namespace {

// Writes `text` to `shown` with every control character escaped as \xHH: C0 controls, DEL, and
// C1 controls in their UTF-8 form (C2 80 to C2 9F). A byte that is not UTF-8 stays as it is.
void escape_controls(const char *text, const char *end, char *shown) {
  for (; text != end; ++text) {
    unsigned char c = static_cast<unsigned char>(*text);
    bool c1 = c == 0xC2 && text + 1 != end && static_cast<unsigned char>(text[1]) >= 0x80 &&
              static_cast<unsigned char>(text[1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F || c1) {
      for (const char *byte = text; byte <= text + c1; ++byte) {
        (void)std::snprintf(shown, 5, "\\x%02X", static_cast<unsigned char>(*byte));
        shown += 4;
      }
      text += c1;
    } else {
      *shown++ = *text;
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
