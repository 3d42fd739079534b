#pragma once
// Helpers of the bridge's tests: libraries loaded with dlopen as a front end loads them, progress
// recording, folders laid out with chosen encoder libraries, and the peer ffprobe.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/testsupport.h"
#include "wavpress/bladeenc.h"
#include "wavpress/wavpress.h"

namespace wavpresstest {

namespace fs = std::filesystem;
using testsupport::Bytes;

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

/// A library opened with dlopen and `flags`, closed when destroyed.
class Library {
 public:
  Library(const fs::path& path, int flags) : m_handle(dlopen(path.c_str(), flags)) {
    if (!m_handle) ADD_FAILURE() << path << " is not loaded: " << dlerror();
  }
  ~Library() {
    if (m_handle) dlclose(m_handle);
  }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  template <typename Function>
  Function Bind(const char* name) const {
    return m_handle ? reinterpret_cast<Function>(dlsym(m_handle, name)) : nullptr;
  }

 private:
  void* m_handle;
};

/// libwavpress.so of `folder`, loaded as a front end loads it; unloaded when destroyed, which the
/// next test relies on: a library left loaded would answer its loads by name.
struct Bridge {
  explicit Bridge(const fs::path& folder = kBuildFolder) : path(folder / WAVPRESS_LIBRARY_NAME) {
    EXPECT_TRUE(setEncoder && encodeMp3 && setReplace && lastFailure);
    // The tests encode into the same folder again and again.
    if (setReplace) setReplace(1);
  }
  ~Bridge() {
    library.reset();
    if (void* left = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      dlclose(left);
      ADD_FAILURE() << path << " stayed loaded";
    }
  }

  /// LastFailure's cause, with its text in `text`.
  std::int32_t LastFailure(std::string* text = nullptr) const {
    char buffer[512] = {};
    const std::int32_t cause = lastFailure(buffer, sizeof buffer);
    if (text) *text = buffer;
    return cause;
  }

  /// EncodeMp3 with the recording callback, which answers 0 at call `stopAt` (0: never).
  std::int32_t Encode(const fs::path& wav, std::size_t stopAt = 0) const {
    g_progress = {{}, stopAt};
    const WavpressProgress progress = &RecordProgress;
    return encodeMp3(wav.c_str(), &progress);
  }

  const fs::path path;
  std::optional<Library> library{std::in_place, path, RTLD_NOW | RTLD_LOCAL};
  const SetEncoderFunction setEncoder = library->Bind<SetEncoderFunction>("SetEncoder");
  const EncodeMp3Function encodeMp3 = library->Bind<EncodeMp3Function>("EncodeMp3");
  const SetReplaceExistingFunction setReplace =
      library->Bind<SetReplaceExistingFunction>("SetReplaceExisting");
  const LastFailureFunction lastFailure = library->Bind<LastFailureFunction>("LastFailure");
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

/// The stand-in BladeEnc library as loaded by the bridge of a layout (see fake_bladeenc.cpp).
class FakeEncoder {
 public:
  explicit FakeEncoder(const Layout& layout)
      : m_library(layout.path() / "libbladeenc.so", RTLD_NOW | RTLD_NOLOAD) {
    Script();
  }
  void Script(wavpress::BeResult initResult = wavpress::kBeOk, std::uint32_t failingChunk = 0,
              wavpress::BeResult deinitResult = wavpress::kBeOk,
              std::uint32_t samplesPerChunk = 2304) const {
    using Function = void (*)(wavpress::BeResult, std::uint32_t, wavpress::BeResult, std::uint32_t);
    m_library.Bind<Function>("FakeScript")(initResult, failingChunk, deinitResult, samplesPerChunk);
  }
  std::string Log() const { return m_library.Bind<const char* (*)()>("FakeLog")(); }
  std::string Record() const { return m_library.Bind<const char* (*)()>("FakeRecord")(); }

 private:
  Library m_library;
};

/// liblame_enc.so of the build on its own, called through the BladeEnc interface.
struct LameEnc {
  /// One stream of `config` through `chunks` chunks filled by `sample`, then the flush: what it
  /// wrote. Every output must fit the size reported, with nothing written past it.
  Bytes Encode(const wavpress::Mp3Config& config, int chunks,
               const std::function<std::int16_t()>& sample = {}) const {
    constexpr std::uint8_t kGuard = 0xA5;
    std::array<std::uint8_t, wavpress::kMp3ConfigSize> record{};
    wavpress::PutMp3Config(record, config);
    std::uint32_t samples = 0, size = 0, written = 0;
    wavpress::BeStream stream = 0;
    EXPECT_EQ(init(record.data(), &samples, &size, &stream), wavpress::kBeOk);
    EXPECT_EQ(samples, config.Mode == wavpress::kModeMono ? 1152u : 2304u);
    std::vector<std::int16_t> pcm(samples);
    Bytes mp3, out(size + 256, kGuard);
    const auto keep = [&](wavpress::BeResult result) {
      EXPECT_EQ(result, wavpress::kBeOk);
      EXPECT_LE(written, size);
      EXPECT_TRUE(std::all_of(out.begin() + size, out.end(), [](auto b) { return b == kGuard; }));
      mp3.insert(mp3.end(), out.begin(), out.begin() + std::min(written, size));
    };
    for (int chunk = 0; chunk < chunks; ++chunk) {
      std::generate(pcm.begin(), pcm.end(), sample);
      keep(encode(stream, samples, pcm.data(), out.data(), &written));
    }
    keep(deinit(stream, out.data(), &written));
    EXPECT_EQ(close(stream), wavpress::kBeOk);
    return mp3;
  }

  Library library{kBuildFolder / "liblame_enc.so", RTLD_NOW};
  wavpress::BeInitStreamFunction init =
      library.Bind<wavpress::BeInitStreamFunction>("beInitStream");
  wavpress::BeEncodeChunkFunction encode =
      library.Bind<wavpress::BeEncodeChunkFunction>("beEncodeChunk");
  wavpress::BeDeinitStreamFunction deinit =
      library.Bind<wavpress::BeDeinitStreamFunction>("beDeinitStream");
  wavpress::BeCloseStreamFunction close =
      library.Bind<wavpress::BeCloseStreamFunction>("beCloseStream");
};

/// No unfinished output (".tmp") stayed in `folder`.
inline bool NoTemporaryFiles(const fs::path& folder) {
  return std::none_of(fs::directory_iterator(folder), fs::directory_iterator(),
                      [](const auto& entry) { return entry.path().extension() == ".tmp"; });
}

/// ffprobe's view of a file: streams and packets; null when it could not read it.
inline nlohmann::json Probe(const fs::path& file) {
  std::string output;
  const int status = testsupport::RunCommand(
      "ffprobe -v error -print_format json -show_streams -show_packets " + testsupport::Quote(file),
      &output);
  return status == 0 ? nlohmann::json::parse(output, nullptr, false) : nullptr;
}

}  // namespace wavpresstest
