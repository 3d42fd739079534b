// The encoder bridge's sound input: arbitrary bytes opened as a sound file in memory and read
// to the end as the encoder would take them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "wavpress/pcmsource.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  wavpress::PcmOpenError error;
  auto source = wavpress::PcmSource::OpenMemory(std::span(data, size), error);
  if (!source) return 0;
  std::vector<std::int16_t> chunk(2304);
  // A header may claim any length. Eight chunks (9,216 frames) reach the end of short inputs,
  // conversions and their flush included; longer sound only repeats the same paths.
  for (int i = 0; i < 8; ++i) {
    const std::int64_t got = source->Read(chunk);
    if (got > static_cast<std::int64_t>(chunk.size() / 2)) __builtin_trap();
    if (got <= 0 || source->AtEnd()) break;
  }
  return 0;
}
