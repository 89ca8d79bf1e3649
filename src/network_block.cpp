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

// The flush matters should the stream be buffered after all: not every C library's close
// reports a failed flush.
bool write_network_block(FILE *image, const unsigned char *block) {
  return std::fseek(image, kNetworkBlockOffset, SEEK_SET) == 0 &&
         std::fwrite(block, 1, kNetworkBlockSize, image) == kNetworkBlockSize &&
         std::fflush(image) == 0;
}

}  // namespace

int patch_network_block(const NetworkSettings &settings) {
  // "rb+" never creates the image and never truncates it.
  FILE *image = std::fopen(kImageFileName, "rb+");
  if (!image) {
    std::printf("Unable to open %s for update\n", kImageFileName);
    return kExitFailure;
  }
  // Unbuffered, so that no more of the image is read than the block's last byte, and the block
  // is written with a single write; a saving, not a need.
  (void)std::setvbuf(image, nullptr, _IONBF, 0);
  if (!holds_network_block(image)) {
    (void)std::fclose(image);  // nothing was written, so nothing can be lost
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
