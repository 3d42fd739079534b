#pragma once
// The audio of a sound file as the encoder is configured for it: 16-bit stereo frames at
// 44100 Hz, whatever rate, sample format and channel count (one or two) the file holds.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/fileio.h"
#include "wavpress/wavchunks.h"

struct sf_private_tag;
struct soxr;

namespace wavpress {

inline constexpr int kTargetRate = 44100;
inline constexpr int kMinRate = 8000;
inline constexpr int kMaxRate = 192000;

/// Why a sound file is not taken.
enum class PcmRefusal { None, Unreadable, NotWav, NotAudio, NoAudio, Rate, Channels };

/// The texts of the refusals that name no detail.
inline constexpr std::string_view kNotWav = "not a WAV file we can read";
inline constexpr std::string_view kNoAudio = "no audio";

struct PcmOpenError {
  PcmRefusal refusal = PcmRefusal::None;
  std::string text;  ///< the cause, for a message that names the file
};

class PcmSource {
 public:
  /// Opens the regular file `path`; nothing, with the cause in `error`, when it cannot be
  /// read, is not a WAV file that WalkWav takes, holds no frame, or its rate lies outside
  /// kMinRate-kMaxRate or its channel count outside 1-2.
  static std::unique_ptr<PcmSource> Open(const char* path, PcmOpenError& error);
  /// The same for a file held in memory; `bytes` must outlive the source.
  static std::unique_ptr<PcmSource> OpenMemory(std::span<const std::uint8_t> bytes,
                                               PcmOpenError& error);
  ~PcmSource();
  PcmSource(const PcmSource&) = delete;
  PcmSource& operator=(const PcmSource&) = delete;

  /// Frames of the whole file at 44100 Hz (an estimate within a frame or two when converting).
  std::int64_t TotalFrames() const { return m_totalFrames; }

  /// Fills `out` with up to out.size() / 2 interleaved stereo frames. Returns the number of
  /// frames, fewer only at the end; -1 after a read or conversion error.
  std::int64_t Read(std::span<std::int16_t> out);

  /// True when no frame is left; reads ahead to find out. False after an error, which the next
  /// Read reports.
  bool AtEnd();

 private:
  struct View;
  PcmSource() = default;
  static std::unique_ptr<PcmSource> OpenSource(std::unique_ptr<base::ByteSource> file,
                                               PcmOpenError& error);
  static std::unique_ptr<PcmSource> Adopt(std::unique_ptr<PcmSource> source, sf_private_tag* file,
                                          int channels, int rate, std::int64_t frames,
                                          PcmOpenError& error);
  void Refill();
  bool ReadDirect();
  bool ReadConverted();
  void AppendFrames(const std::int16_t* samples, std::size_t frames);

  std::unique_ptr<View> m_view;
  sf_private_tag* m_file = nullptr;
  soxr* m_resampler = nullptr;
  int m_channels = 0;
  std::int64_t m_totalFrames = 0;
  bool m_inputDone = false;
  bool m_finished = false;
  bool m_failed = false;
  // Block buffers are filled before they are read: left uninitialised.
  std::unique_ptr<std::int16_t[]> m_shortBlock;  // as read, direct path
  std::unique_ptr<float[]> m_floatBlock;         // as read, converting path
  std::size_t m_floatOffset = 0;                 // frames of m_floatBlock already converted
  std::size_t m_floatFrames = 0;
  std::unique_ptr<std::int16_t[]> m_converted;  // soxr output, file's channel count
  std::vector<std::int16_t> m_ready;            // stereo frames not yet handed out
  std::size_t m_readyOffset = 0;                // in samples
};

}  // namespace wavpress
