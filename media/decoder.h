#pragma once
// An MPEG audio stream opened on libmpg123 with the settings every part of the program decodes
// with: gapless decoding off and a LAME/Xing info frame decoded as an ordinary frame. A track's
// length then equals its span inside an album, whose audio is the tracks' frames back to back.
// The file is read through a BufferedFile: the length scan and playback cost one read per
// 256 KiB, not one per frame.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "media/bufferedfile.h"

struct mpg123_handle_struct;

namespace media {

class Decoder {
 public:
  /// Nothing when the file cannot be opened or holds no MPEG audio, with the reason in `error`.
  /// PCM comes at the stream's own rate, or resampled to `rate` Hz when it is not 0. `gapless`
  /// decodes the sound alone: the encoder delay and padding that an info frame declares are
  /// trimmed and the info frame is no audio (for re-encoding; lengths differ from an album's).
  static std::unique_ptr<Decoder> Open(const std::filesystem::path& path, std::string& error,
                                       long rate = 0, bool gapless = false);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  /// Sample rate of the first frame, in Hz.
  long Rate() const { return m_rate; }
  /// Channels of the decoded PCM: always 2 (mono is duplicated).
  int Channels() const { return m_channels; }

  /// Reads every frame header to the end of the stream; the exact length in samples per
  /// channel, or nothing when the scan fails.
  std::optional<std::int64_t> ScanSamples();

  /// Samples per channel in each of the back-to-back byte spans `sizes` from the start of the
  /// file (a frame counts where its header lies), from one walk over the frame headers; nothing
  /// when the file cannot be read.
  std::optional<std::vector<std::int64_t>> SpanSamples(std::span<const std::int64_t> sizes);

  /// Moves decoding to sample `sample` (per channel) from the start, exactly: libmpg123 walks
  /// the frame headers and decodes the frame before the target. The sample reached (the end
  /// when `sample` lies beyond it), or nothing when the stream cannot seek. Reads after it come
  /// from the file as it is now, not from what was buffered.
  [[nodiscard]] std::optional<std::int64_t> SeekSample(std::int64_t sample);

  /// Decodes up to `frames` sample frames as interleaved signed 16-bit PCM into `out` (room for
  /// frames * Channels() values); the frames written, 0 at the end of the stream or on an error.
  std::size_t ReadPcm(std::int16_t* out, std::size_t frames);
  /// The sample (per channel) the next ReadPcm starts at.
  std::int64_t Tell() const;
  /// Why the file failed a read (None while it has not).
  FileFault Fault() const { return m_file->Fault(); }
  /// Whether the file is now shorter than when it was opened. Safe on any thread.
  bool FileShrank() const { return m_file->Shrank(); }

 private:
  Decoder(mpg123_handle_struct* handle, std::unique_ptr<BufferedFile> file);
  mpg123_handle_struct* m_handle;
  std::unique_ptr<BufferedFile> m_file;  // outlives the handle's use of it
  long m_rate = 0;
  int m_channels = 0;
};

/// Samples at `rate` Hz in whole milliseconds, rounded to the nearest (halves up); clamped to
/// the range of a Long.
std::int32_t SamplesToMilliseconds(std::int64_t samples, long rate);

/// Samples per channel and the rate they play at.
struct StreamLength {
  std::int64_t samples = 0;
  long rate = 0;
};

/// A file's length without decoding it: the samples per channel that a LAME/Xing header counts
/// and the rate of its first frame, where the file is exactly what the header describes: an
/// MPEG-1 Layer III stream whose byte count is the header's (an ID3v2 tag before it and an
/// ID3v1 tag after it aside). The header's own frame counts, as libmpg123 counts it here.
/// Nothing for any other file, whose frames must be scanned.
std::optional<StreamLength> HeaderLength(const std::filesystem::path& path);

/// The exact length of a file in milliseconds, or nothing when it cannot be determined: from
/// HeaderLength where the header describes the file, else from a scan of every frame.
std::optional<std::int32_t> ExactLength(const std::filesystem::path& path);

/// The exact lengths in milliseconds of the back-to-back byte spans `sizes` from the start of
/// a file (an album's tracks); nothing when they cannot be determined.
std::optional<std::vector<std::int32_t>> SpanLengths(const std::filesystem::path& path,
                                                     std::span<const std::int64_t> sizes);

}  // namespace media
