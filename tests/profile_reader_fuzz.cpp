// libFuzzer target: any bytes as a settings file. Whatever they hold, each lookup must give a
// terminated text within the 20-character buffer and a count that is its length, and the three
// keys looked up in one pass must give what each gives alone.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "profile_reader.h"

namespace {

const char *const kKeys[] = {"GCIP", "GATEWAY", "NETMASK"};

void check_answer(const char *value, unsigned long count) {
  if (!std::memchr(value, '\0', 20) || count != std::strlen(value)) {
    std::abort();
  }
}

}  // namespace

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
  char together[3][20];
  std::memset(together, 0x55, sizeof together);
  SettingLookup lookups[3] = {{kKeys[0], together[0], 20, 0},
                              {kKeys[1], together[1], 20, 0},
                              {kKeys[2], together[2], 20, 0}};
  file = std::fopen(path, "rb");
  if (!file) {
    std::abort();
  }
  read_profile_strings(file, "NETWORK", lookups, 3);
  (void)std::fclose(file);
  for (int k = 0; k < 3; ++k) {
    char alone[20];
    std::memset(alone, 0x55, sizeof alone);
    unsigned long count = read_profile_string("NETWORK", kKeys[k], alone, sizeof alone, path);
    check_answer(alone, count);
    check_answer(together[k], lookups[k].count);
    if (count != lookups[k].count || std::strcmp(alone, together[k]) != 0) {
      std::abort();
    }
  }
  return 0;
}
