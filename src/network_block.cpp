// Writes the network block into the image in the current directory.
#include <cstdio>

#include "netcfg.h"

namespace {

constexpr long kNetworkBlockEnd = kNetworkBlockOffset + static_cast<long>(kNetworkBlockSize);

// Only the length is checked: a file that ends before the block would be extended, which
// cannot be what anyone wants of an executable image.
bool holds_network_block(FILE *image) {
  return std::fseek(image, kNetworkBlockEnd - 1, SEEK_SET) == 0 && std::fgetc(image) != EOF;
}

bool write_network_block(FILE *image, const unsigned char *block) {
  if (std::fseek(image, kNetworkBlockOffset, SEEK_SET) != 0) {
    return false;
  }
  for (std::size_t field = 0; field < kNetworkBlockSize; field += kAddressSize) {
    if (std::fwrite(block + field, 1, kAddressSize, image) != kAddressSize) {
      return false;
    }
  }
  // Flushed here rather than left to the close: not every C library's close reports a failed
  // flush.
  return std::fflush(image) == 0;
}

}  // namespace

int patch_network_block(const NetworkSettings &settings) {
  // "rb+" never creates the image and never truncates it.
  FILE *image = std::fopen(kImageFileName, "rb+");
  if (!image) {
    std::printf("Unable to open %s for update\n", kImageFileName);
    return kExitFailure;
  }
  if (!holds_network_block(image)) {
    std::fclose(image);
    std::printf("%s is too short to hold the network block\n", kImageFileName);
    return kExitFailure;
  }
  bool written = write_network_block(image, settings.network_block);
  bool closed = std::fclose(image) == 0;
  if (!written || !closed) {
    std::printf("Unable to write network information to %s\n", kImageFileName);
    return kExitFailure;
  }
  std::printf("Network information updated successfully\n");
  return kExitSuccess;
}
