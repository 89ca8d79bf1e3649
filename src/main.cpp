// halmere-netcfg: writes the network settings from halmere02.ini into the image halmere02a.dol,
// both in the current directory. This file runs the three phases of a run in their order.
#include "netcfg.h"
#include "output.h"
#include "platform.h"
#include "version.h"

int run_utility() {
  static NetworkSettings settings;
  prepare_run();
  print_message("%s\n", kBanner);
  print_message("Version %s\n\n", kVersionText);
  read_network_settings(&settings);
  return patch_network_block(settings);
}

// Arguments are accepted and ignored: the utility has no options.
int main() {
  return run_utility();
}
