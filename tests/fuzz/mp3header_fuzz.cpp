// Frame analysis of arbitrary files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "mp3header/mp3header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("lb-fuzz-" + std::to_string(getpid()) + ".mp3");
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  mp3header::MP3HeaderInfo info;
  const auto status = mp3header::AnalyseMP3(path, info);
  if (status == mp3header::AnalyseStatus::Ok &&
      (info.HeaderPos < 1 || static_cast<std::size_t>(info.HeaderPos) + 3 > size)) {
    __builtin_trap();
  }
  return 0;
}
