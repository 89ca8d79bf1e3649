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

// How far a write of the block got.
enum BlockWrite {
  kBlockOnDevice,      // written whole and flushed to the storage device
  kBlockRefusedWhole,  // not one byte reached the file, and no flush was tried
  kBlockFailed,        // some bytes reached the file, or a flush failed
};

BlockWrite write_network_block(FILE *image, const unsigned char *block) {
  std::clearerr(image);
  if (std::fseek(image, kNetworkBlockOffset, SEEK_SET) != 0) {
    return kBlockRefusedWhole;
  }
  // The stream is unbuffered: what fwrite counts has reached the file.
  std::size_t written = std::fwrite(block, 1, kNetworkBlockSize, image);
  if (written == 0) {
    return kBlockRefusedWhole;
  }
  return written == kNetworkBlockSize && flush_to_device(image) ? kBlockOnDevice : kBlockFailed;
}

// Puts the original bytes back after a failed write of the block. Done when they are surely on
// the device: written again and flushed, or never replaced (both writes refused whole). Once a
// flush has failed, reading the file back proves nothing: Linux reports a write-back error once
// to each open file and then serves reads from its cache, whatever the device holds.
bool put_back_network_block(FILE *image, BlockWrite failed, const unsigned char *original) {
  BlockWrite put_back = write_network_block(image, original);
  if (put_back == kBlockOnDevice) {
    return true;
  }
  if (failed != kBlockRefusedWhole || put_back != kBlockRefusedWhole) {
    return false;
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
  BlockWrite written = write_network_block(image, settings.network_block);
  if (written != kBlockOnDevice) {
    if (!put_back_network_block(image, written, original)) {
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
