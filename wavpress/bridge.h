#pragma once
// For front ends: the bridge loaded by name at run time, its exports bound by name.

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "wavpress/wavpress.h"

namespace wavpress {

/// The folder, relative to a front end's own, where an installed tree keeps the bridge and the
/// encoder libraries; the build tree has the same layout.
inline constexpr const char* kBridgeFolder = "../lib/lyrabinder";

/// The loaded bridge; released when destroyed.
class LoadedBridge {
 public:
  /// Loads the bridge from the executable's folder, else from kBridgeFolder under it, else
  /// through the loader's search, and binds both exports. On failure IsLoaded() is false and
  /// Error() says why.
  LoadedBridge() {
    std::error_code error;
    const auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
    std::string searched;
    if (!error) {
      const auto folder = executable.parent_path();
      if (Bind(folder / WAVPRESS_LIBRARY_NAME)) return;
      if (Bind(folder / kBridgeFolder / WAVPRESS_LIBRARY_NAME)) return;
      searched = folder.string() + ", " + (folder / kBridgeFolder).string() + " or ";
    }
    if (Bind(WAVPRESS_LIBRARY_NAME)) return;
    if (m_error.empty()) m_error = "not found in " + searched + "the loader's search path";
  }
  ~LoadedBridge() {
    if (m_library) dlclose(m_library);
  }
  LoadedBridge(const LoadedBridge&) = delete;
  LoadedBridge& operator=(const LoadedBridge&) = delete;

  bool IsLoaded() const { return m_library != nullptr; }
  const std::string& Error() const { return m_error; }

  std::int32_t SetEncoder(std::int32_t encoder) const { return m_setEncoder(encoder); }
  std::int32_t EncodeMp3(const char* path, const WavpressProgress* progress) const {
    return m_encodeMp3(path, progress);
  }
  std::int32_t SetReplaceExisting(bool replace) const { return m_setReplace(replace ? 1 : 0); }
  /// The cause of the last failure and its text.
  std::int32_t LastFailure(std::string& text) const {
    char buffer[1024] = {};
    const std::int32_t code = m_lastFailure(buffer, static_cast<std::int32_t>(sizeof buffer));
    text = buffer;
    return code;
  }

 private:
  bool Bind(const std::filesystem::path& file) {
    void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      // A missing file is expected along the way; only a file that is there but fails to load
      // has a reason worth telling.
      const char* reason = dlerror();
      std::error_code error;
      if (file.has_parent_path() && std::filesystem::exists(file, error)) {
        m_error = reason ? reason : file.string() + " cannot be loaded";
      }
      return false;
    }
    m_setEncoder = reinterpret_cast<SetEncoderFunction>(dlsym(library, "SetEncoder"));
    m_encodeMp3 = reinterpret_cast<EncodeMp3Function>(dlsym(library, "EncodeMp3"));
    m_setReplace =
        reinterpret_cast<SetReplaceExistingFunction>(dlsym(library, "SetReplaceExisting"));
    m_lastFailure = reinterpret_cast<LastFailureFunction>(dlsym(library, "LastFailure"));
    if (!m_setEncoder || !m_encodeMp3 || !m_setReplace || !m_lastFailure) {
      m_error = file.string() + ": an export (SetEncoder, EncodeMp3, SetReplaceExisting, " +
                "LastFailure) is missing";
      dlclose(library);
      return false;
    }
    m_library = library;
    m_error.clear();
    return true;
  }

  void* m_library = nullptr;
  SetEncoderFunction m_setEncoder = nullptr;
  EncodeMp3Function m_encodeMp3 = nullptr;
  SetReplaceExistingFunction m_setReplace = nullptr;
  LastFailureFunction m_lastFailure = nullptr;
  std::string m_error;
};

}  // namespace wavpress
