#pragma once
// The media device on libmpg123. Each open file is held under its alias with a decoder for its
// length; playing adds a second decoder that feeds an AudioOutput, whose clock gives the
// position.

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "media/audiooutput.h"
#include "media/command.h"
#include "media/decoder.h"
#include "media/mediadevice.h"

namespace media {

using OutputFactory = std::function<std::unique_ptr<AudioOutput>()>;

class Mpg123Device final : public MediaDevice {
 public:
  explicit Mpg123Device(OutputFactory outputs = CreateSdlOutput);
  ~Mpg123Device() override;
  [[nodiscard]] MediaReply SendString(std::string_view command) override;

 private:
  enum class Mode { Stopped, Playing, Paused };

  struct OpenFile {
    std::filesystem::path path;
    long rate = 0;
    /// Only where the length must be scanned: an encoder's header that describes the file
    /// gives it (and the rate) without one.
    std::unique_ptr<Decoder> decoder;
    std::optional<std::int32_t> length;  ///< milliseconds, once known
    // Playback: its own decoder, read by the output's thread once the output runs (repositioned
    // only inside AudioOutput::Reset); the output is destroyed, its thread stopped, first.
    std::unique_ptr<Decoder> player;
    std::unique_ptr<AudioOutput> output;
    std::int64_t startSample = 0;  ///< where the output's clock started
    /// The sample where decoding stopped, set by the output's thread; -1 while it goes on.
    std::shared_ptr<std::atomic<std::int64_t>> endedAt =
        std::make_shared<std::atomic<std::int64_t>>(-1);
    Mode mode = Mode::Stopped;
    bool failed = false;                  ///< no playback possible (no output, or no decoding)
    MediaError fault = MediaError::None;  ///< why playing failed, for good
  };

  OpenFile* Find(const std::string& alias);
  MediaReply Open(const MediaCommand& command);
  MediaReply Set(const MediaCommand& command);
  MediaReply Status(const MediaCommand& command);
  MediaReply Close(const MediaCommand& command);
  MediaReply Play(const MediaCommand& command);
  MediaReply PauseOrStop(const MediaCommand& command, Mode mode);
  MediaReply SetAudio(const MediaCommand& command);
  bool StartPlayback(OpenFile& file);
  std::int32_t PositionMs(const OpenFile& file) const;
  /// Whether playing has failed: the file shrank, or decoding stopped before the length.
  MediaError Fault(OpenFile& file);
  std::int32_t LengthMs(OpenFile& file);
  static void Release(OpenFile& file);

  OutputFactory m_outputs;
  std::map<std::string, OpenFile> m_files;
  std::shared_ptr<std::atomic<int>> m_volume;  ///< 0..1000, kept while files come and go
  /// Lengths of files already scanned, by path, size and change time: each new start of the
  /// player opens the album again and asks its length.
  struct KnownLength {
    std::int64_t size = 0;
    std::filesystem::file_time_type changed;
    std::int32_t ms = 0;
  };
  std::map<std::filesystem::path, KnownLength> m_lengths;
};

}  // namespace media
