// Reads the three addresses from the settings file in the current directory.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "netcfg.h"
#include "platform.h"

namespace {

constexpr char kSection[] = "NETWORK";

[[noreturn]] void fail() {
  std::exit(kExitFailure);  // the normal exit flushes what was printed
}

void build_settings_path(char *path, std::size_t capacity) {
  if (!get_current_directory(path, capacity - 1 - sizeof kSettingsFileName)) {
    std::printf("Unable to determine the current directory\n");
    fail();
  }
  std::size_t length = std::strlen(path);
  // The separator goes in even after a root directory's own, so the file is always addressed
  // by the same full path.
  path[length] = kPathSeparator;
  std::memcpy(path + length + 1, kSettingsFileName, sizeof kSettingsFileName);
}

void look_up_address(const char *key, char (&text)[kAddressTextCapacity],
                     const char *settings_path) {
  if (lookup_setting(kSection, key, text, kAddressTextCapacity, settings_path) == 0) {
    report_missing_key(key, settings_path);
  }
}

// A value that is no address is refused here, before the image is touched, rather than written
// into it as FF FF FF FF.
void convert_or_report(const char *key, const char *text, const char *settings_path,
                       unsigned char *octets) {
  if (!convert_address(text, octets)) {
    std::printf("Invalid address \"%s\" for %s in %s\n", text, key, settings_path);
    fail();
  }
}

}  // namespace

void report_missing_key(const char *key, const char *settings_path) {
  std::printf("Unable to locate %s in %s\n", key, settings_path);
  fail();
}

void read_network_settings(NetworkSettings *settings) {
  build_settings_path(settings->settings_path, sizeof settings->settings_path);
  const char *path = settings->settings_path;
  look_up_address("GCIP", settings->gcip, path);
  look_up_address("GATEWAY", settings->gateway, path);
  look_up_address("NETMASK", settings->netmask, path);

  // The image holds the mask first, then the gateway, then the own address.
  unsigned char *block = settings->network_block;
  convert_or_report("GCIP", settings->gcip, path, block + 2 * kAddressSize);
  convert_or_report("GATEWAY", settings->gateway, path, block + kAddressSize);
  convert_or_report("NETMASK", settings->netmask, path, block);
}
