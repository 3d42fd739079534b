#pragma once
// Real MP3 files for the tests, made with lame from tones generated here.

#include <filesystem>
#include <string>

#include "tests/support/testsupport.h"

namespace lamefiles {

/// Encodes a tone to `mp3` with lame, 128 kbps CBR unless `rateOptions` say otherwise;
/// `tagOptions` are passed on (for example "--add-id3v2 --tt Title"). True when lame succeeded.
inline bool MakeMp3(const std::filesystem::path& mp3, double seconds, double pitch,
                    const std::string& tagOptions = "",
                    const std::string& rateOptions = "-b 128 --cbr") {
  const std::filesystem::path wav = mp3.string() + ".wav";
  testsupport::WriteFile(wav, testsupport::ToneWav(seconds, pitch));
  const int status =
      testsupport::RunCommand("lame --quiet " + rateOptions + " " + tagOptions + " " +
                              testsupport::Quote(wav) + " " + testsupport::Quote(mp3));
  std::filesystem::remove(wav);
  return status == 0;
}

/// ffprobe's duration of a file in milliseconds, or a negative value when it gives none.
inline double FfprobeMilliseconds(const std::filesystem::path& file) {
  std::string output;
  if (testsupport::RunCommand(
          "ffprobe -v error -show_entries format=duration -of csv=p=0 " + testsupport::Quote(file),
          &output) != 0) {
    return -1.0;
  }
  try {
    return std::stod(output) * 1000.0;
  } catch (...) {
    return -1.0;
  }
}

}  // namespace lamefiles
