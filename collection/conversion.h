#pragma once
// Converting an MP3 that the album format refuses (variable bitrate, another bitrate or rate)
// into a 128 kbps constant-bitrate, 44100 Hz stereo MP3: decoded with libmpg123 and encoded by
// the project's encoder library on libmp3lame, its ID3 tags carried over.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wavpress/bladeenc.h"

namespace collection {

/// The encoder library (liblame_enc) loaded once for every conversion of a run; its streams
/// may encode on several threads at once.
class LameLibrary {
 public:
  /// Nothing when the library cannot be loaded or lacks a function, with the reason in `error`.
  [[nodiscard]] static std::unique_ptr<LameLibrary> Load(std::string& error);
  ~LameLibrary();
  LameLibrary(const LameLibrary&) = delete;
  LameLibrary& operator=(const LameLibrary&) = delete;

  wavpress::BeFunctions functions;

 private:
  explicit LameLibrary(void* library) : m_library(library) {}
  void* m_library;
};

enum class ConvertStatus {
  Ok,
  NotAudio,  ///< the source holds no MPEG audio libmpg123 decodes
  Failed,    ///< reading, encoding or writing failed
  Stopped,   ///< `stopped` said so; nothing was written
};

struct ConvertResult {
  ConvertStatus status = ConvertStatus::Ok;
  std::string error;  ///< naming the file and the cause
  bool ok() const { return status == ConvertStatus::Ok; }
};

/// Converts `source` into `target`, written whole or not at all (an existing target is
/// replaced). The source's leading ID3v2 tag and closing ID3v1 tag are copied as they are.
/// `stopped` is asked between chunks.
[[nodiscard]] ConvertResult ConvertTrack(const LameLibrary& encoder,
                                         const std::filesystem::path& source,
                                         const std::filesystem::path& target,
                                         const std::function<bool()>& stopped);

}  // namespace collection

namespace collection {

/// A fresh folder of our own under the temporary folder, removed with everything in it when
/// destroyed.
class WorkFolder {
 public:
  /// Nothing when it cannot be made, with the reason in `error`.
  [[nodiscard]] static std::unique_ptr<WorkFolder> Create(std::string& error);
  ~WorkFolder();
  WorkFolder(const WorkFolder&) = delete;
  WorkFolder& operator=(const WorkFolder&) = delete;
  const std::filesystem::path& Path() const { return m_path; }

 private:
  explicit WorkFolder(std::filesystem::path path) : m_path(std::move(path)) {}
  std::filesystem::path m_path;
};

/// A contents list with its refused tracks converted.
struct ConvertedList {
  std::vector<std::string> entries;    ///< the list, converted tracks in their sources' places
  std::vector<std::string> converted;  ///< file names of the tracks converted
  ConvertResult failure;               ///< the first conversion that failed or was stopped
};

/// Converts every MP3 of `entries` that fails the 128 kbps constant-bitrate check into
/// `folder`, under its own file name (so that titles and lyrics match as before). A file that
/// cannot be opened or holds no MPEG audio is left in the list as it is, for the quality check
/// to refuse; any other failure ends the work.
[[nodiscard]] ConvertedList ConvertRefusedTracks(const std::vector<std::string>& entries,
                                                 const LameLibrary& encoder,
                                                 const std::filesystem::path& folder,
                                                 const std::function<bool()>& stopped);

}  // namespace collection
