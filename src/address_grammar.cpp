// The dotted IPv4 address grammar of BSD's inet_aton, written out for platforms whose conversion
// does not say when it fails.
#include "address_grammar.h"

namespace {

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digit_value(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) {
    return (c | 0x20) - 'a' + 10;
  }
  return -1;
}

}  // namespace

bool parse_address(const char *text, unsigned long long *value) {
  unsigned long long parts[4];
  int count = 0;
  for (const char *c = text;; ++c) {
    if (*c < '0' || *c > '9') {
      return false;
    }
    int base = 10;
    bool has_digits = false;
    if (*c == '0') {
      ++c;
      base = *c == 'x' || *c == 'X' ? 16 : 8;
      has_digits = base == 8;
      c += base == 16;
    }
    unsigned long long part = 0;
    for (int digit; (digit = digit_value(*c)) >= 0 && digit < base; ++c) {
      part = part * base + digit;
      has_digits = true;
      if (part > 0xFFFFFFFF) {
        return false;
      }
    }
    if (!has_digits) {
      return false;
    }
    parts[count++] = part;
    if (*c != '.' || count == 4) {
      if (*c != '\0' && !is_white_space(*c)) {
        return false;
      }
      break;
    }
  }
  *value = 0;
  for (int i = 0; i < count - 1; ++i) {
    if (parts[i] > 0xFF) {
      return false;
    }
    *value |= parts[i] << (24 - 8 * i);
  }
  if (parts[count - 1] > 0xFFFFFFFFull >> (8 * (count - 1))) {
    return false;
  }
  *value |= parts[count - 1];
  return true;
}
