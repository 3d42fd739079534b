#pragma once
// For front ends: the bridge loaded by name at run time, its exports bound by name.

#include <string>
#include <string_view>

#include "platform/dynlib/dynlib.h"
#include "wavpress/wavpress.h"

namespace wavpress {

/// Put before LastFailure's text where a front end reports a file that failed.
inline constexpr std::string_view kEncodingFailed = "Encoding failed: ";

/// The loaded bridge; released when destroyed.
class LoadedBridge {
 public:
  /// Loads the bridge as a program module (platform::LoadProgramModule) and binds its exports.
  /// On failure IsLoaded() is false and Error() says why.
  LoadedBridge() {
    platform::LibraryHandle library = platform::LoadProgramModule(WAVPRESS_LIBRARY_NAME, m_error);
    if (!library) return;
    m_setEncoder =
        reinterpret_cast<SetEncoderFunction>(platform::FindSymbol(library, "SetEncoder"));
    m_encodeMp3 = reinterpret_cast<EncodeMp3Function>(platform::FindSymbol(library, "EncodeMp3"));
    m_encodeMp3As =
        reinterpret_cast<EncodeMp3AsFunction>(platform::FindSymbol(library, "EncodeMp3As"));
    m_setReplace = reinterpret_cast<SetReplaceExistingFunction>(
        platform::FindSymbol(library, "SetReplaceExisting"));
    m_lastFailure =
        reinterpret_cast<LastFailureFunction>(platform::FindSymbol(library, "LastFailure"));
    if (!m_setEncoder || !m_encodeMp3 || !m_encodeMp3As || !m_setReplace || !m_lastFailure) {
      m_error = std::string(WAVPRESS_LIBRARY_NAME) +
                ": an export (SetEncoder, EncodeMp3, EncodeMp3As, SetReplaceExisting, "
                "LastFailure) is missing";
      platform::ReleaseLibrary(library);
      return;
    }
    m_library = library;
  }
  ~LoadedBridge() { platform::ReleaseLibrary(m_library); }
  LoadedBridge(const LoadedBridge&) = delete;
  LoadedBridge& operator=(const LoadedBridge&) = delete;

  bool IsLoaded() const { return m_library != nullptr; }
  const std::string& Error() const { return m_error; }

  std::int32_t SetEncoder(std::int32_t encoder) const { return m_setEncoder(encoder); }
  std::int32_t EncodeMp3(const char* path, const WavpressProgress* progress) const {
    return m_encodeMp3(path, progress);
  }
  std::int32_t EncodeMp3As(const char* path, const char* output,
                           const WavpressProgress* progress) const {
    return m_encodeMp3As(path, output, progress);
  }
  std::int32_t SetReplaceExisting(bool replace) const { return m_setReplace(replace ? 1 : 0); }
  /// The cause of this thread's last failure and its text.
  std::int32_t LastFailure(std::string& text) const {
    char buffer[1024] = {};
    const std::int32_t code = m_lastFailure(buffer, static_cast<std::int32_t>(sizeof buffer));
    text = buffer;
    return code;
  }

 private:
  void* m_library = nullptr;
  SetEncoderFunction m_setEncoder = nullptr;
  EncodeMp3Function m_encodeMp3 = nullptr;
  EncodeMp3AsFunction m_encodeMp3As = nullptr;
  SetReplaceExistingFunction m_setReplace = nullptr;
  LastFailureFunction m_lastFailure = nullptr;
  std::string m_error;
};

}  // namespace wavpress
