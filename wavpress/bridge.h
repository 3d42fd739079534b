#pragma once
// For front ends: the bridge loaded by name at run time, its exports bound by name.

#include <string>

#include "platform/dynlib/dynlib.h"
#include "wavpress/wavpress.h"

namespace wavpress {

/// The loaded bridge; released when destroyed.
class LoadedBridge {
 public:
  /// Loads the bridge as a program module (platform::LoadProgramModule) and binds both exports. On
  /// failure IsLoaded() is false and Error() says why.
  LoadedBridge() {
    platform::LibraryHandle library = platform::LoadProgramModule(WAVPRESS_LIBRARY_NAME, m_error);
    if (!library) return;
    m_setEncoder =
        reinterpret_cast<SetEncoderFunction>(platform::FindSymbol(library, "SetEncoder"));
    m_encodeMp3 = reinterpret_cast<EncodeMp3Function>(platform::FindSymbol(library, "EncodeMp3"));
    if (!m_setEncoder || !m_encodeMp3) {
      m_error = std::string(WAVPRESS_LIBRARY_NAME) + ": SetEncoder or EncodeMp3 is missing";
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

 private:
  void* m_library = nullptr;
  SetEncoderFunction m_setEncoder = nullptr;
  EncodeMp3Function m_encodeMp3 = nullptr;
  std::string m_error;
};

}  // namespace wavpress
