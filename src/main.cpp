// halmere-netcfg: writes the network settings from halmere02.ini into the image halmere02a.dol,
// both in the current directory.
#include <cstdarg>
#include <cstdio>

#include "netcfg.h"
#include "platform.h"
#include "version.h"

namespace {

NetworkSettings settings;

}  // namespace

// The longest message holds the settings path and an escaped address text.
void print_message(const char *format, ...) {  // NOLINT(cert-dcl50-cpp): checked as printf's
  static char message[2 * sizeof settings.settings_path];
  va_list arguments;
  va_start(arguments, format);
  (void)std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  write_output(message);
}

int run_utility() {
  ignore_write_signals();
  print_message("%s\n", kBanner);
  print_message("Version %s\n\n", kVersionText);
  read_network_settings(&settings);
  return patch_network_block(settings);
}

// Arguments are accepted and ignored: the utility has no options.
int main() {
  return run_utility();
}
