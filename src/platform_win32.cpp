// The platform layer for Windows: the system's own profile lookup and the sockets library's
// address conversion.
#include <winsock2.h>  // also declares what windows.h does

#include <cstring>

#include "platform.h"

const char kPathSeparator = '\\';

bool get_current_directory(char *directory, std::size_t capacity) {
  DWORD limit = capacity < MAX_PATH ? static_cast<DWORD>(capacity) : MAX_PATH;
  // The count is the length on success, or the size needed when the buffer is too small.
  DWORD length = GetCurrentDirectoryA(limit, directory);
  return length != 0 && length < limit;
}

unsigned long lookup_setting(const char *section, const char *key, char *value,
                             unsigned long capacity, const char *path) {
  return GetPrivateProfileStringA(section, key, nullptr, value, capacity, path);
}

namespace {

bool is_white_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// inet_addr ends an address at white space, so the broadcast address may be followed by any.
bool is_broadcast_text(const char *text) {
  constexpr char kBroadcast[] = "255.255.255.255";
  constexpr std::size_t kLength = sizeof kBroadcast - 1;
  return std::strncmp(text, kBroadcast, kLength) == 0 &&
         (text[kLength] == '\0' || is_white_space(text[kLength]));
}

}  // namespace

bool convert_address(const char *text, unsigned char octets[4]) {
  // inet_addr gives INADDR_NONE both for a failure and for 255.255.255.255, and turns a lone
  // space into 0.0.0.0, so the text decides: an address starts with a digit, and the only one
  // that converts to all ones is the broadcast address written out.
  if (text[0] < '0' || text[0] > '9') {
    return false;
  }
  unsigned long address = inet_addr(text);
  if (address == INADDR_NONE && !is_broadcast_text(text)) {
    return false;
  }
  // The value is in network byte order: its bytes in memory are the octets in order.
  std::memcpy(octets, &address, 4);
  return true;
}
