#include "platform/qt/picturemodule.h"

#include "platform/dynlib/dynlib.h"

namespace platform::qt {
namespace {

struct Received {
  std::vector<std::uint8_t> bytes;
  bool failed = false;
};

// Called from the module: nothing may be thrown back into it.
void Fit(void* context, int32_t* width, int32_t* height) {
  try {
    const auto& fit =
        *static_cast<const std::function<webview::PictureSize(webview::PictureSize)>*>(context);
    const webview::PictureSize size = fit({*width, *height});
    *width = size.width;
    *height = size.height;
  } catch (...) {
    *width = 0;
    *height = 0;
  }
}

void Receive(void* context, const uint8_t* data, size_t size) {
  auto& received = *static_cast<Received*>(context);
  try {
    received.bytes.assign(data, data + size);
  } catch (...) {
    received.failed = true;
  }
}

}  // namespace

LoadedPictureService::LoadedPictureService(std::string moduleFile)
    : m_moduleFile(std::move(moduleFile)) {}

// The module stays loaded: Qt keeps threads and handlers that do not survive being unloaded,
// and the process ends soon after its previews anyway.
LoadedPictureService::~LoadedPictureService() = default;

std::optional<std::vector<std::uint8_t>> LoadedPictureService::ScaledJpeg(
    std::span<const std::uint8_t> picture,
    const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) {
  std::call_once(m_load, [this] {
    std::string reason;
    const LibraryHandle module = LoadProgramModule(m_moduleFile, reason);
    m_scaledJpeg = reinterpret_cast<LbScaledJpegFunction>(FindSymbol(module, kPictureModuleEntry));
    if (module && !m_scaledJpeg) reason = std::string("it has no ") + kPictureModuleEntry;
    if (!m_scaledJpeg) {
      m_error = "Cannot load " + m_moduleFile + ": " + reason;
      ReleaseLibrary(module);
    }
  });
  if (!m_scaledJpeg) return std::nullopt;
  Received received;
  void* fitContext = const_cast<void*>(static_cast<const void*>(&fit));
  if (m_scaledJpeg(picture.data(), picture.size(), &Fit, fitContext, quality, &Receive,
                   &received) == 0 ||
      received.failed) {
    return std::nullopt;
  }
  return std::move(received.bytes);
}

}  // namespace platform::qt
