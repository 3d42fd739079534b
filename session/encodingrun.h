#pragma once
// One run of WAV to MP3 conversions, as the encoder window, `lyrabinder-cli encode` and the demo
// start it: the list in order, the replace question just before each file, the pause after
// each file, a stop at the next chunk that drops the rest, and each file's outcome with its
// cause. It owns the run's texts.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace session {

class Mp3Encoder;

inline constexpr std::string_view kEncodingCompleteMessage = "Encoding Complete !";
inline constexpr std::string_view kEncodingCancelledMessage = "Encoding Cancelled !";
/// Put before the bridge's text where a file failed.
inline constexpr std::string_view kEncodingFailed = "Encoding failed: ";

/// What becomes of an MP3 that is there before its file is converted.
enum class ReplaceRule {
  Ask,     ///< ask EncodingQuestions just before the file; "no" leaves the file out
  Always,  ///< replace it (never a read-only one: the bridge refuses that)
  Never,   ///< the file fails with the bridge's cause
};

/// Runs `job(i)` for i below `count`, as many at once as the front end likes, starting none once
/// `stopped()` is true; returns when all started ones have returned.
using GroupRunner =
    std::function<void(std::size_t count, const std::function<void(std::size_t)>& job,
                       const std::function<bool()>& stopped)>;

struct EncodingRunInput {
  std::vector<std::string> files;  ///< WAV paths (UTF-8), in the order they are converted
  std::int32_t encoder = 0;        ///< as SetEncoder takes it (0: LAME)
  ReplaceRule replace = ReplaceRule::Ask;
  int pauseMs = 0;  ///< the pause after each file that was not stopped
  /// Null: one file after the other on the calling thread. Otherwise files whose outputs could
  /// be the same go one after the other, and the groups go through the runner.
  GroupRunner runner;
};

enum class FileStatus {
  NotStarted,  ///< the run was stopped before it
  LeftOut,     ///< the user kept the MP3 that was there
  Encoded,
  Failed,
  Stopped,  ///< stopped at a chunk; the part was kept (see the note)
};

struct EncodedFile {
  std::size_t index = 0;  ///< in EncodingRunInput::files
  FileStatus status = FileStatus::NotStarted;
  std::filesystem::path output;  ///< where its MP3 went or was to go
  std::int32_t cause = 0;        ///< the bridge's WAVPRESS_* cause of a failure
  /// What the run says of it, or empty: "Encoding failed: " and the cause, the other name it
  /// was written under, or where a stopped file's part went.
  std::string note;
};

struct EncodingRunResult {
  std::vector<EncodedFile> files;  ///< one per input, in the order of the input
  /// True when a file was stopped or not started: a stop in the pause after the last file
  /// stops nothing.
  [[nodiscard]] bool Stopped() const;
  [[nodiscard]] bool AnyFailed() const;
  /// "Encoding Complete !" or "Encoding Cancelled !".
  [[nodiscard]] std::string_view EndMessage() const;
  /// The end message with the notes under it, one a line: the stopped file's first, then the
  /// others in the order of the run.
  [[nodiscard]] std::string Report() const;
};

/// The front end's view of a run; called on the threads that encode.
class EncodingObserver {
 public:
  virtual ~EncodingObserver() = default;
  /// File `index` starts (after its question).
  virtual void FileStarted(std::size_t index) { (void)index; }
  /// The percentage of file `index`, after every chunk; false stops the run.
  virtual bool FileProgress(std::size_t index, int percent) {
    (void)index;
    (void)percent;
    return true;
  }
  /// File `index` ended (not for a file left out or not started).
  virtual void FileEnded(const EncodedFile& file) { (void)file; }
  /// Asked before each file: true stops the run there (a stop from outside, such as a signal).
  virtual bool StopRequested() { return false; }
};

/// Questions of a run with ReplaceRule::Ask.
class EncodingQuestions {
 public:
  virtual ~EncodingQuestions() = default;
  /// The MP3 `mp3` (UTF-8 path) is there: true replaces it, false leaves its file out.
  virtual bool ReplaceExisting(const std::string& mp3) = 0;
};

class EncodingRun {
 public:
  /// `encoder` must outlive the run.
  EncodingRun(Mp3Encoder& encoder, EncodingRunInput input);

  /// Converts the files; returns when the run has ended. `questions` is asked with
  /// ReplaceRule::Ask only.
  [[nodiscard]] EncodingRunResult Run(EncodingObserver& observer, EncodingQuestions* questions);
  /// Stops the run from any thread: the files at their next chunk, or the pause after a file
  /// without starting the next one.
  void Stop();

 private:
  void EncodeGroup(const std::vector<std::size_t>& group, EncodingObserver& observer,
                   EncodingQuestions* questions, EncodingRunResult& result);
  bool StopAsked(EncodingObserver& observer);
  void Pause();

  Mp3Encoder& m_encoder;
  const EncodingRunInput m_input;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::atomic<bool> m_stop{false};
};

}  // namespace session
