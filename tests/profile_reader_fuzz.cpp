// libFuzzer target: any bytes as a settings file. Whatever they hold, each lookup must give a
// terminated text within the 20-character buffer, and a count that is its length.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "profile_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  static char path[64];
  if (!path[0]) {
    std::snprintf(path, sizeof path, "/dev/shm/profile-reader-fuzz-%d.ini",
                  static_cast<int>(getpid()));
  }
  FILE *file = std::fopen(path, "wb");
  if (!file || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
    std::abort();
  }
  for (const char *key : {"GCIP", "GATEWAY", "NETMASK"}) {
    char value[20];
    std::memset(value, 0x55, sizeof value);
    unsigned long count = read_profile_string("NETWORK", key, value, sizeof value, path);
    if (!std::memchr(value, '\0', sizeof value) || count != std::strlen(value)) {
      std::abort();
    }
  }
  return 0;
}
