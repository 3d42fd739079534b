// Arbitrary bytes behind a valid AlbumWrap marker, read as an archive.
#include <cstddef>
#include <cstdint>

#include "album/albumwrap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  // Make the marker test pass most of the time so the frames and records are reached.
  if (bytes.size() > 1325) std::copy_n("[][]", 4, bytes.begin() + 1300);
  base::MemorySource source(std::move(bytes));
  album::AlbumWrapReader reader(source);
  if (!reader.IsAlbumWrap()) return 0;
  reader.ReadFrames();
  if (reader.ListItems() == album::ReadStatus::Ok) {
    for (const auto& item : reader.Items()) {
      if (item.offset + item.size > source.Size()) __builtin_trap();
    }
  }
  return 0;
}
