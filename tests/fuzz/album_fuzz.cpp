// Opens arbitrary bytes as an album and extracts nothing: the reader must refuse or list.
#include <cstddef>
#include <cstdint>

#include "album/archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> bytes(data, data + size);
  // A writer that patches the buffer, so the tag upgrade runs too.
  auto source = std::make_unique<base::MemorySource>(bytes);
  auto* memory = source.get();
  const album::TagWriter writer = [memory](std::int64_t offset, std::span<const std::uint8_t> b) {
    auto& d = memory->Data();
    if (offset < 0 || static_cast<std::size_t>(offset) + b.size() > d.size()) __builtin_trap();
    std::copy(b.begin(), b.end(), d.begin() + offset);
    return true;
  };
  const album::Archive archive = album::OpenArchive(std::move(source), writer);
  if (archive.ok()) {
    for (const auto& item : archive.items) {
      if (item.offset < 0 || item.size < 0 || item.offset + item.size > archive.source->Size()) {
        __builtin_trap();
      }
    }
  }
  return 0;
}
