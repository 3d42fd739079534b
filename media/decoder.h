#pragma once
// An MPEG audio stream opened on libmpg123 with the settings every part of the program decodes
// with: gapless decoding off and a LAME/Xing info frame decoded as an ordinary frame. A track's
// length then equals its span inside an album, whose audio is the tracks' frames back to back.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

struct mpg123_handle_struct;

namespace media {

class Decoder {
 public:
  /// Nothing when the file cannot be opened or holds no MPEG audio, with the reason in `error`.
  static std::unique_ptr<Decoder> Open(const std::filesystem::path& path, std::string& error);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  /// Sample rate of the first frame, in Hz.
  long Rate() const { return m_rate; }
  int Channels() const { return m_channels; }

  /// Reads every frame header to the end of the stream; the exact length in samples per
  /// channel, or nothing when the scan fails.
  std::optional<std::int64_t> ScanSamples();

  /// The underlying handle, positioned as the caller left it (for decoding).
  mpg123_handle_struct* Handle() { return m_handle; }

 private:
  explicit Decoder(mpg123_handle_struct* handle) : m_handle(handle) {}
  mpg123_handle_struct* m_handle;
  long m_rate = 0;
  int m_channels = 0;
};

/// Samples at `rate` Hz in whole milliseconds, rounded to the nearest (halves up); clamped to
/// the range of a Long.
std::int32_t SamplesToMilliseconds(std::int64_t samples, long rate);

/// The exact length of a file in milliseconds, or nothing when it cannot be determined.
std::optional<std::int32_t> ExactLength(const std::filesystem::path& path);

}  // namespace media
