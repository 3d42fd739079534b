#include "app/mp3encoder.h"

#include <mutex>

#include "base/fileio.h"
#include "wavpress/bridge.h"

namespace app {
namespace {

// The bridge's callback carries no context: the conversion in progress keeps its progress here,
// under g_conversion for as long as it runs.
std::mutex g_conversion;
const EncodeProgress* g_progress = nullptr;

std::int32_t WAVPRESS_CALL ForwardProgress(std::int32_t percent) {
  return (*g_progress)(static_cast<int>(percent), 100) ? 1 : 0;
}

class WavpressEncoder final : public Mp3Encoder {
 public:
  void SetEncoder(std::int32_t encoder) override {
    const std::lock_guard lock(g_conversion);
    if (const wavpress::LoadedBridge* bridge = Bridge()) bridge->SetEncoder(encoder);
  }

  std::int32_t EncodeMp3(const std::string& path, bool replace, const EncodeProgress& progress,
                         const std::filesystem::path& output) override {
    const std::lock_guard lock(g_conversion);
    const wavpress::LoadedBridge* bridge = Bridge();
    m_note.clear();
    // A missing bridge fails the file like any other failure; the run goes on.
    if (bridge == nullptr) {
      m_note = path + ": " + m_bridge->Error();
      return WAVPRESS_FAILED;
    }
    bridge->SetReplaceExisting(replace);
    g_progress = &progress;
    const WavpressProgress slot = progress ? &ForwardProgress : nullptr;
    const std::int32_t result =
        output.empty()
            ? bridge->EncodeMp3(base::PathFromUtf8(path).c_str(), &slot)
            : bridge->EncodeMp3As(base::PathFromUtf8(path).c_str(), output.c_str(), &slot);
    g_progress = nullptr;
    if (result != WAVPRESS_OK) bridge->LastFailure(m_note);
    return result;
  }

  std::string FailureNote() const override { return m_note; }

 private:
  const wavpress::LoadedBridge* Bridge() {
    if (!m_bridge || !m_bridge->IsLoaded()) m_bridge = std::make_unique<wavpress::LoadedBridge>();
    return m_bridge->IsLoaded() ? m_bridge.get() : nullptr;
  }

  std::unique_ptr<wavpress::LoadedBridge> m_bridge;
  std::string m_note;
};

}  // namespace

std::unique_ptr<Mp3Encoder> CreateWavpressEncoder() {
  return std::make_unique<WavpressEncoder>();
}

}  // namespace app
