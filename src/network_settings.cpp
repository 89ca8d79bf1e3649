// Reads the three addresses from the settings file in the current directory.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "netcfg.h"
#include "output.h"
#include "platform.h"

namespace {

constexpr char kSection[] = "NETWORK";

[[noreturn]] void fail() {
  std::exit(kExitFailure);  // the normal exit flushes what was printed
}

// Both files' full paths are checked before anything is read: the image's, one character longer
// than the settings file's, must not fail only once the settings have been read.
void check_full_paths(const char *settings_path) {
  if (!full_path_fits(settings_path)) {
    print_message("Unable to read %s: the path is longer than Windows allows\n", settings_path);
    fail();
  }
  static char image_path[sizeof NetworkSettings::settings_path - sizeof kSettingsFileName +
                         sizeof kImageFileName];
  int directory_length =
      static_cast<int>(std::strlen(settings_path) - std::strlen(kSettingsFileName));
  (void)std::snprintf(image_path, sizeof image_path, "%.*s%s", directory_length, settings_path,
                      kImageFileName);
  if (!full_path_fits(image_path)) {
    print_message("Unable to open %s for update: the path is longer than Windows allows\n",
                  image_path);
    fail();
  }
}

void build_settings_path(char *path, std::size_t capacity) {
  switch (get_current_directory(path, capacity - 1 - sizeof kSettingsFileName)) {
    case kDirectoryFound:
      break;
    case kDirectoryUnknown:
      print_message("Unable to determine the current directory\n");
      fail();
    case kDirectoryOfSystem:
      // Where a program is started when the directory it was asked to start in cannot be used.
      print_message("Unable to work in %s: it belongs to the system, and holds no image\n", path);
      fail();
  }
  std::size_t length = std::strlen(path);
  // The separator goes in even after a root directory's own, so the file is always addressed
  // by the same full path.
  path[length] = kPathSeparator;
  std::memcpy(path + length + 1, kSettingsFileName, sizeof kSettingsFileName);
}

// A value that is no address is refused here, before the image is touched, rather than written
// into it as FF FF FF FF.
void convert_or_report(const char *key, const char *text, const char *settings_path,
                       unsigned char *octets) {
  if (!convert_address(text, octets)) {
    print_message("Invalid address \"%s\" for %s in %s\n", text, key, settings_path);
    fail();
  }
}

}  // namespace

void report_missing_key(const char *key, const char *settings_path) {
  print_message("Unable to locate %s in %s\n", key, settings_path);
  fail();
}

void read_network_settings(NetworkSettings *settings) {
  build_settings_path(settings->settings_path, sizeof settings->settings_path);
  const char *path = settings->settings_path;
  check_full_paths(path);
  SettingLookup lookups[] = {{"GCIP", settings->gcip, kAddressTextCapacity, 0},
                             {"GATEWAY", settings->gateway, kAddressTextCapacity, 0},
                             {"NETMASK", settings->netmask, kAddressTextCapacity, 0}};
  static char reason[kReasonCapacity];
  switch (lookup_settings(kSection, lookups, 3, path, reason)) {
    case kSettingsRead:
      break;
    case kSettingsKeptChanging:
      print_message("Unable to read %s: it kept changing while it was read\n", path);
      fail();
    case kSettingsInUse:
      print_message("Unable to read %s: another program kept it in use\n", path);
      fail();
    case kSettingsUnreadable:
      print_message("Unable to read %s: %s\n", path, reason);
      fail();
  }
  for (const SettingLookup &lookup : lookups) {
    if (lookup.count == 0) {
      report_missing_key(lookup.key, path);
    }
  }

  // The image holds the mask first, then the gateway, then the own address.
  unsigned char *block = settings->network_block;
  convert_or_report("GCIP", settings->gcip, path, block + 2 * kAddressSize);
  convert_or_report("GATEWAY", settings->gateway, path, block + kAddressSize);
  convert_or_report("NETMASK", settings->netmask, path, block);
}
