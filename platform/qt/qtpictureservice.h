#pragma once
// Pictures through Qt: QImageReader decodes at the preview size, QImageWriter writes JPEG.

#include <QImage>

#include "webview/previews.h"

namespace platform::qt {

/// Decodes a JPEG, GIF or BMP (told by its bytes, not its name) at the size `fit` gives for
/// its own; a null image when it cannot be decoded.
QImage DecodeFitted(std::span<const std::uint8_t> picture,
                    const std::function<webview::PictureSize(webview::PictureSize)>& fit);

class QtPictureService final : public webview::PictureService {
 public:
  std::optional<std::vector<std::uint8_t>> ScaledJpeg(
      std::span<const std::uint8_t> picture,
      const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) override;
  /// QImage decodes and encodes on any thread.
  bool ConcurrentCalls() const override { return true; }
};

}  // namespace platform::qt
