#include "platform/qt/picturemodule.h"

#include "platform/dynlib/dynlib.h"

namespace platform::qt {

LoadedPictureService::LoadedPictureService(std::string moduleFile)
    : m_moduleFile(std::move(moduleFile)) {}

// The module stays loaded: Qt keeps threads and handlers that do not survive being unloaded,
// and the process ends soon after its previews anyway.
LoadedPictureService::~LoadedPictureService() = default;

std::optional<std::vector<std::uint8_t>> LoadedPictureService::ScaledJpeg(
    std::span<const std::uint8_t> picture,
    const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) {
  if (!m_tried) {
    m_tried = true;
    std::string reason;
    const LibraryHandle module = LoadProgramModule(m_moduleFile, reason);
    const auto create =
        reinterpret_cast<CreatePictureServiceFunction>(FindSymbol(module, kPictureModuleEntry));
    if (module && !create) reason = std::string("it has no ") + kPictureModuleEntry;
    if (create) m_service.reset(create());
    if (create && !m_service) reason = "it cannot make its picture service";
    if (!m_service) {
      m_error = "Cannot load " + m_moduleFile + ": " + reason;
      ReleaseLibrary(module);
    }
  }
  if (!m_service) return std::nullopt;
  return m_service->ScaledJpeg(picture, fit, quality);
}

}  // namespace platform::qt
