// The export of liblyrabinder-pictures.so (platform/qt/picturemodule.h).

#include <type_traits>

#include "platform/qt/picturemodule.h"
#include "platform/qt/qtpictureservice.h"

extern "C" __attribute__((visibility("default"))) int32_t LbScaledJpeg(
    const uint8_t* picture, size_t size, LbPictureFit fit, void* fitContext, int32_t quality,
    LbPictureSink sink, void* sinkContext) {
  try {
    platform::qt::QtPictureService service;
    const auto jpeg = service.ScaledJpeg(
        std::span(picture, size),
        [&](webview::PictureSize given) {
          int32_t width = given.width;
          int32_t height = given.height;
          fit(fitContext, &width, &height);
          return webview::PictureSize{width, height};
        },
        quality);
    if (!jpeg) return 0;
    sink(sinkContext, jpeg->data(), jpeg->size());
    return 1;
  } catch (...) {
    return 0;
  }
}

static_assert(std::is_same_v<decltype(&LbScaledJpeg), LbScaledJpegFunction>);
