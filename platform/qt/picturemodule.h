#pragma once
// The Qt picture service as a module loaded at run time, so that programs which make previews
// only now and then (the command line) start without mapping Qt.

#include <stddef.h>
#include <stdint.h>

#include <mutex>
#include <string>

#include "webview/previews.h"

// The module's one export, a C function: the module and its users need not share a C++ runtime
// (the command line links its own), so nothing of C++ crosses, exceptions included.
extern "C" {
/// Replaces *width and *height, the picture's size, with the size to scale it to.
typedef void (*LbPictureFit)(void* context, int32_t* width, int32_t* height);
/// Receives the JPEG bytes; they are valid during the call only.
typedef void (*LbPictureSink)(void* context, const uint8_t* data, size_t size);
/// As webview::PictureService::ScaledJpeg: 1 when the JPEG was made and handed to `sink`, else 0.
typedef int32_t (*LbScaledJpegFunction)(const uint8_t* picture, size_t size, LbPictureFit fit,
                                        void* fitContext, int32_t quality, LbPictureSink sink,
                                        void* sinkContext);
}

namespace platform::qt {

/// The module's file name, found like the encoder bridge (platform::LoadProgramModule).
inline constexpr const char* kPictureModuleName = "liblyrabinder-pictures.so";
/// The name of its LbScaledJpegFunction.
inline constexpr const char* kPictureModuleEntry = "LbScaledJpeg";

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

  /// The module's service runs on any thread; the first call loads it, once.
  bool ConcurrentCalls() const override { return true; }

  /// Empty until a load failed; then "Cannot load <module>: <reason>".
  const std::string& LoadError() const { return m_error; }

 private:
  std::string m_moduleFile;
  std::once_flag m_load;
  LbScaledJpegFunction m_scaledJpeg = nullptr;
  std::string m_error;
};

}  // namespace platform::qt
