#pragma once
// Pictures through the Windows Imaging Component: JPEG, GIF and BMP decoded, scaled, written
// as JPEG. The calling thread must have COM initialised.

#include "webview/previews.h"

namespace platform::win32 {

class WicPictureService final : public webview::PictureService {
 public:
  std::optional<std::vector<std::uint8_t>> ScaledJpeg(
      std::span<const std::uint8_t> picture,
      const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) override;
};

}  // namespace platform::win32
