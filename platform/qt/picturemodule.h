#pragma once
// The Qt picture service as a module loaded at run time, so that programs which make previews
// only now and then (the command line) start without mapping Qt.

#include <memory>
#include <string>

#include "webview/previews.h"

namespace platform::qt {

/// The module's file name, found like the encoder bridge (platform::LoadProgramModule).
inline constexpr const char* kPictureModuleName = "liblyrabinder-pictures.so";
/// Its one export: `webview::PictureService* LbCreatePictureService()`, a new service owned by
/// the caller, or null when it cannot be made.
inline constexpr const char* kPictureModuleEntry = "LbCreatePictureService";
using CreatePictureServiceFunction = webview::PictureService* (*)();

/// A picture service that loads the module when the first picture comes.
class LoadedPictureService final : public webview::PictureService {
 public:
  /// `moduleFile` is a file name searched as a program module, or a path.
  explicit LoadedPictureService(std::string moduleFile = kPictureModuleName);
  ~LoadedPictureService() override;
  LoadedPictureService(const LoadedPictureService&) = delete;
  LoadedPictureService& operator=(const LoadedPictureService&) = delete;

  /// As the module's service; nothing when the module cannot be loaded (LoadError() says why).
  std::optional<std::vector<std::uint8_t>> ScaledJpeg(
      std::span<const std::uint8_t> picture,
      const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) override;

  /// Empty until a load failed; then "Cannot load <module>: <reason>".
  const std::string& LoadError() const { return m_error; }

 private:
  std::string m_moduleFile;
  bool m_tried = false;
  std::unique_ptr<webview::PictureService> m_service;
  std::string m_error;
};

}  // namespace platform::qt
