#pragma once
// Pictures through Qt: QImageReader decodes at the preview size, QImageWriter writes JPEG.

#include "webview/previews.h"

namespace platform::qt {

class QtPictureService final : public webview::PictureService {
 public:
  std::optional<std::vector<std::uint8_t>> ScaledJpeg(
      std::span<const std::uint8_t> picture,
      const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) override;
};

}  // namespace platform::qt
