// The network configuration utility: the settings record and the three phases of a run.
#pragma once

#include <cstddef>

enum ExitStatus { kExitSuccess = 0, kExitFailure = 1 };

// Longest current directory any supported platform reports, terminator included
// (Linux PATH_MAX; Windows' MAX_PATH of 260 fits well within it).
constexpr std::size_t kDirectoryCapacity = 4096;
constexpr char kSettingsFileName[] = "halmere02.ini";
constexpr char kImageFileName[] = "halmere02a.dol";

// Each address text holds at most 19 characters and its terminator.
constexpr std::size_t kAddressTextCapacity = 20;

// The network block: mask, gateway and own address, 4 bytes each in network byte order.
constexpr long kNetworkBlockOffset = 0x16DE0;
constexpr std::size_t kAddressSize = 4;
constexpr std::size_t kNetworkBlockSize = 3 * kAddressSize;
constexpr unsigned long long kNetworkBlockEnd = kNetworkBlockOffset + kNetworkBlockSize;

struct NetworkSettings {
  // The directory, one separator and the file name.
  char settings_path[kDirectoryCapacity + 1 + sizeof kSettingsFileName];
  char gcip[kAddressTextCapacity];
  char gateway[kAddressTextCapacity];
  char netmask[kAddressTextCapacity];
  // The three converted addresses, in the order they are stored in the image.
  unsigned char network_block[kNetworkBlockSize];
};

// Prints the banner, reads the settings, patches the image; returns the exit status.
int run_utility();

// Fills the settings from the settings file in the current directory. Returns only when all
// three addresses were found and converted; otherwise prints why and ends the run with status 1.
void read_network_settings(NetworkSettings *settings);

[[noreturn]] void report_missing_key(const char *key, const char *settings_path);

// Writes the network block into the image and prints the outcome line; returns the exit status.
int patch_network_block(const NetworkSettings &settings);
