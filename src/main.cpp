// halmere-netcfg: writes the network settings from halmere02.ini into the image halmere02a.dol,
// both in the current directory.
#include <cstdio>

#include "netcfg.h"

namespace {

NetworkSettings settings;

}  // namespace

int run_utility() {
  std::printf("halmere Network Configuration Utility\n");
  std::printf("Version 0.2a\n\n");
  read_network_settings(&settings);
  return patch_network_block(settings);
}

// Arguments are accepted and ignored: the utility has no options.
int main() {
  return run_utility();
}
