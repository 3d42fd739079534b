// Frame analysis of arbitrary bytes, in memory: the same scan and header decoding a file gets.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/fileio.h"
#include "mp3header/mp3header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  base::MemorySource source(std::vector<std::uint8_t>(data, data + size));
  mp3header::MP3HeaderInfo info;
  const auto status = mp3header::AnalyseMP3(source, info);
  if (status == mp3header::AnalyseStatus::Ok &&
      (info.HeaderPos < 1 || static_cast<std::size_t>(info.HeaderPos) + 3 > size)) {
    __builtin_trap();
  }
  // The pure decoding of the first four bytes, whatever they are.
  if (size >= 4) {
    mp3header::MP3HeaderInfo header;
    (void)mp3header::DecodeFrameHeader({data[0], data[1], data[2], data[3]},
                                       static_cast<std::int64_t>(size), header);
  }
  return 0;
}
