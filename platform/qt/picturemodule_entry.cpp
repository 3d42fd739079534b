// The export of liblyrabinder-pictures.so (platform/qt/picturemodule.h).

#include <new>

#include "platform/qt/picturemodule.h"
#include "platform/qt/qtpictureservice.h"

extern "C" __attribute__((visibility("default"))) webview::PictureService*
LbCreatePictureService() {
  return new (std::nothrow) platform::qt::QtPictureService();
}
