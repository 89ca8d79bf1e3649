// Writes the network block into the image in the current directory.
#include <cstdio>
#include <cstring>

#include "netcfg.h"
#include "output.h"
#include "platform.h"

namespace {

bool read_network_block(FILE *image, unsigned char *block) {
  return std::fseek(image, kNetworkBlockOffset, SEEK_SET) == 0 &&
         std::fread(block, 1, kNetworkBlockSize, image) == kNetworkBlockSize;
}

// Done only when the block is on the storage device.
bool write_network_block(FILE *image, const unsigned char *block) {
  std::clearerr(image);
  return std::fseek(image, kNetworkBlockOffset, SEEK_SET) == 0 &&
         std::fwrite(block, 1, kNetworkBlockSize, image) == kNetworkBlockSize &&
         flush_to_device(image);
}

// Puts the original bytes back after a failed write. Done when they are on the device, whether
// written again or never replaced (a write refused whole).
bool put_back_network_block(FILE *image, const unsigned char *original) {
  if (write_network_block(image, original)) {
    return true;
  }
  unsigned char now[kNetworkBlockSize];
  return read_network_block(image, now) && std::memcmp(now, original, kNetworkBlockSize) == 0 &&
         flush_to_device(image);
}

constexpr char kUnableToWrite[] = "Unable to write network information to %s\n";

// Ends the patch with its outcome line; the image, if still open, has nothing of ours to lose.
int fail(FILE *image, const char *format) {
  if (image) {
    (void)std::fclose(image);
  }
  print_message(format, kImageFileName);
  return kExitFailure;
}

}  // namespace

int patch_network_block(const NetworkSettings &settings) {
  // Never created, never truncated, and only a regular file: a device or a pipe is no image.
  // Held against other runs from before the original bytes are read until after the close, so
  // that a run that puts them back can never undo another run's block.
  bool in_use = false;
  FILE *image = open_for_update(kImageFileName, &in_use);
  if (in_use) {
    return fail(image, "%s is in use by another program; nothing was written\n");
  }
  unsigned long long size = 0;
  if (!image || !get_file_size(image, &size)) {
    return fail(image, "Unable to open %s for update\n");
  }
  // A file that ends before the block would be extended, which cannot be what anyone wants of
  // an executable image.
  if (size < kNetworkBlockEnd) {
    return fail(image, "%s is too short to hold the network block\n");
  }
  // The block is written whole or not at all: a write that a file size limit would cut short is
  // not begun, and one that still fails part-way has the bytes it replaced put back.
  unsigned char original[kNetworkBlockSize];
  if (!may_write_up_to(kNetworkBlockEnd) || !read_network_block(image, original)) {
    return fail(image, kUnableToWrite);
  }
  if (!write_network_block(image, settings.network_block)) {
    if (!put_back_network_block(image, original)) {
      return fail(image,
                  "Unable to write network information to %s, nor to put back what it "
                  "held: its network block may be changed\n");
    }
    return fail(image, kUnableToWrite);
  }
  // The block is on the device: a close that fails now loses nothing.
  (void)std::fclose(image);
  print_message("Network information updated successfully\n");
  return kExitSuccess;
}
