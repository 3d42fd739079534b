#include <atomic>
#include <mutex>

#include "base/fileio.h"
#include "platform/dynlib/dynlib.h"
#include "session/mp3encoder.h"
#include "wavpress/wavpress.h"

namespace session {
namespace {

// The run's progress reaches the bridge as the callback's context: no state outside the call.
std::int32_t WAVPRESS_CALL ForwardProgress(void* context, std::int32_t percent) {
  // Nothing may be thrown back into the bridge: a report that cannot be shown does not stop it.
  try {
    return (*static_cast<const base::Progress*>(context))(static_cast<int>(percent), 100) ? 1 : 0;
  } catch (...) {
    return 1;
  }
}

class WavpressEncoder final : public Mp3Encoder {
 public:
  ~WavpressEncoder() override { platform::ReleaseLibrary(m_library); }

  void SetEncoder(std::int32_t encoder) override { m_encoder = encoder; }

  EncodeOutcome EncodeMp3(const std::string& path, bool replace, const base::Progress& progress,
                          const std::filesystem::path& output) override {
    std::string error;
    const Exports exports = Load(error);
    // A missing bridge fails the file like any other failure; the run goes on.
    if (!exports.encode) return {WAVPRESS_FAILED, WAVPRESS_NO_ENCODER, path + ": " + error};
    const std::filesystem::path input = base::PathFromUtf8(path);
    const std::int32_t result = exports.encode(
        input.c_str(), output.empty() ? nullptr : output.c_str(), m_encoder,
        replace ? WAVPRESS_REPLACE_EXISTING : 0, progress ? &ForwardProgress : nullptr,
        const_cast<base::Progress*>(&progress));
    EncodeOutcome outcome{result, WAVPRESS_NO_FAILURE, {}};
    // The cause is this thread's own: asked right after the call.
    if (result != WAVPRESS_OK) {
      char text[1024] = {};
      outcome.cause = exports.lastFailure(text, static_cast<std::int32_t>(sizeof text));
      outcome.note = text;
    }
    return outcome;
  }

  std::string Unavailable() override {
    std::string error;
    return Load(error).encode ? std::string() : error;
  }

 private:
  struct Exports {
    EncodeMp3WithFunction encode = nullptr;
    LastFailureFunction lastFailure = nullptr;
  };

  Exports Load(std::string& error) {
    const std::lock_guard lock(m_mutex);
    if (m_library) return m_exports;
    platform::LibraryHandle library = platform::LoadProgramModule(WAVPRESS_LIBRARY_NAME, error);
    if (!library) return {};
    const Exports exports{
        reinterpret_cast<EncodeMp3WithFunction>(platform::FindSymbol(library, "EncodeMp3With")),
        reinterpret_cast<LastFailureFunction>(platform::FindSymbol(library, "LastFailure"))};
    if (!exports.encode || !exports.lastFailure) {
      error = std::string(WAVPRESS_LIBRARY_NAME) +
              ": an export (EncodeMp3With, LastFailure) is missing";
      platform::ReleaseLibrary(library);
      return {};
    }
    m_library = library;
    m_exports = exports;
    return m_exports;
  }

  std::mutex m_mutex;
  platform::LibraryHandle m_library = nullptr;
  Exports m_exports;
  std::atomic<std::int32_t> m_encoder{WAVPRESS_LAME};
};

}  // namespace

std::unique_ptr<Mp3Encoder> CreateWavpressEncoder() {
  return std::make_unique<WavpressEncoder>();
}

}  // namespace session
