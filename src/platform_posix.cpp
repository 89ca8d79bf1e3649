// The platform layer for Linux and other POSIX systems.
#include <arpa/inet.h>
#include <unistd.h>

#include <cstring>

#include "platform.h"
#include "profile_reader.h"

const char kPathSeparator = '/';

bool get_current_directory(char *directory, std::size_t capacity) {
  return getcwd(directory, capacity) != nullptr;
}

unsigned long lookup_setting(const char *section, const char *key, char *value,
                             unsigned long capacity, const char *path) {
  return read_profile_string(section, key, value, capacity, path);
}

bool convert_address(const char *text, unsigned char octets[4]) {
  in_addr address{};
  if (inet_aton(text, &address) == 0) {
    return false;
  }
  // s_addr is already in network byte order: its bytes in memory are the octets in order.
  std::memcpy(octets, &address.s_addr, 4);
  return true;
}
