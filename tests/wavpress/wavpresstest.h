#pragma once
// Helpers of the bridge's tests: the bridge loaded from a folder as a front end loads it,
// progress recording, folders laid out with chosen encoder libraries, and the peer ffprobe.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"
#include "wavpress/bladeenc.h"
#include "wavpress/wavpress.h"

namespace wavpresstest {

namespace fs = std::filesystem;

/// Where the build puts libwavpress.so and liblame_enc.so side by side.
inline const fs::path kBuildFolder = LB_WAVPRESS_DIR;

/// What the progress callback was told; it answers 0 at call number `stopAt` (1-based).
struct ProgressLog {
  std::vector<std::int32_t> reports;
  std::size_t stopAt = 0;
};
inline ProgressLog g_progress;

inline std::int32_t RecordProgress(std::int32_t percent) {
  g_progress.reports.push_back(percent);
  return g_progress.reports.size() == g_progress.stopAt ? 0 : 1;
}

template <typename Function>
Function Bind(void* library, const char* name) {
  return reinterpret_cast<Function>(dlsym(library, name));
}

/// libwavpress.so of `folder`, loaded with dlopen; unloaded when destroyed, which the next test
/// relies on: a library left loaded would answer its loads by name.
class Bridge {
 public:
  explicit Bridge(const fs::path& folder = kBuildFolder) : m_path(folder / WAVPRESS_LIBRARY_NAME) {
    m_library = dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
      ADD_FAILURE() << dlerror();
      return;
    }
    m_setEncoder = Bind<SetEncoderFunction>(m_library, "SetEncoder");
    m_encodeMp3 = Bind<EncodeMp3Function>(m_library, "EncodeMp3");
    m_setReplace = Bind<SetReplaceExistingFunction>(m_library, "SetReplaceExisting");
    m_lastFailure = Bind<LastFailureFunction>(m_library, "LastFailure");
    EXPECT_TRUE(m_setEncoder && m_encodeMp3 && m_setReplace && m_lastFailure);
    // The tests encode into the same folder again and again.
    if (m_setReplace) m_setReplace(1);
  }
  ~Bridge() {
    if (!m_library) return;
    dlclose(m_library);
    if (void* left = dlopen(m_path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(left);
      ADD_FAILURE() << m_path << " stayed loaded";
    }
  }
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  bool Loaded() const { return m_setEncoder && m_encodeMp3; }
  std::int32_t SetEncoder(std::int32_t encoder) const { return m_setEncoder(encoder); }
  std::int32_t SetReplaceExisting(std::int32_t replace) const { return m_setReplace(replace); }
  /// LastFailure's cause, with its text in `text`.
  std::int32_t LastFailure(std::string* text = nullptr) const {
    char buffer[512] = {};
    const std::int32_t cause = m_lastFailure(buffer, sizeof buffer);
    if (text) *text = buffer;
    return cause;
  }

  /// EncodeMp3 with the recording callback, which answers 0 at call `stopAt` (0: never).
  std::int32_t Encode(const fs::path& wav, std::size_t stopAt = 0) const {
    g_progress = {{}, stopAt};
    const WavpressProgress progress = &RecordProgress;
    return m_encodeMp3(wav.c_str(), &progress);
  }

 private:
  fs::path m_path;
  void* m_library = nullptr;
  SetEncoderFunction m_setEncoder = nullptr;
  EncodeMp3Function m_encodeMp3 = nullptr;
  SetReplaceExistingFunction m_setReplace = nullptr;
  LastFailureFunction m_lastFailure = nullptr;
};

/// A folder holding a copy of libwavpress.so and, as asked, liblame_enc.so and a BladeEnc
/// library (one of the stand-ins) under the name "libbladeenc.so".
class Layout {
 public:
  Layout(bool withLame, const char* bladeEnc) {
    fs::copy_file(kBuildFolder / WAVPRESS_LIBRARY_NAME, m_dir / WAVPRESS_LIBRARY_NAME);
    if (withLame) fs::copy_file(kBuildFolder / "liblame_enc.so", m_dir / "liblame_enc.so");
    if (bladeEnc) fs::copy_file(bladeEnc, m_dir / "libbladeenc.so");
  }
  const fs::path& path() const { return m_dir.path(); }

 private:
  testsupport::ScopedTempDir m_dir;
};

/// The stand-in BladeEnc library as loaded by the bridge of a layout.
class FakeEncoder {
 public:
  explicit FakeEncoder(const Layout& layout) {
    const auto path = layout.path() / "libbladeenc.so";
    m_library = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!m_library) {
      ADD_FAILURE() << path << " is not loaded";
      return;
    }
    m_script = Bind<ScriptFunction>(m_library, "FakeScript");
    m_log = Bind<LogFunction>(m_library, "FakeLog");
    Script();
  }
  ~FakeEncoder() {
    if (m_library) dlclose(m_library);
  }
  FakeEncoder(const FakeEncoder&) = delete;
  FakeEncoder& operator=(const FakeEncoder&) = delete;

  void Script(wavpress::BeResult initResult = wavpress::kBeOk, std::uint32_t failingChunk = 0,
              wavpress::BeResult deinitResult = wavpress::kBeOk,
              std::uint32_t samplesPerChunk = 2304) const {
    m_script(initResult, failingChunk, deinitResult, samplesPerChunk);
  }
  std::string Log() const { return m_log(); }

 private:
  using ScriptFunction = void (*)(wavpress::BeResult, std::uint32_t, wavpress::BeResult,
                                  std::uint32_t);
  using LogFunction = const char* (*)();
  void* m_library = nullptr;
  ScriptFunction m_script = nullptr;
  LogFunction m_log = nullptr;
};

/// ffprobe's view of a file: format, streams and packets; null when it could not read it.
inline nlohmann::json Probe(const fs::path& file) {
  std::string output;
  const int status = testsupport::RunCommand(
      "ffprobe -v error -print_format json -show_format "
      "-show_streams -show_packets " +
          testsupport::Quote(file),
      &output);
  if (status != 0) return nullptr;
  return nlohmann::json::parse(output, nullptr, false);
}

inline double ProbedSeconds(const nlohmann::json& probe) {
  return std::stod(probe["format"]["duration"].get<std::string>());
}

}  // namespace wavpresstest
