#include "platform/qt/qtpictureservice.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace platform::qt {

QImage DecodeFitted(std::span<const std::uint8_t> picture,
                    const std::function<webview::PictureSize(webview::PictureSize)>& fit) {
  const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(picture.data()),
                                                   static_cast<qsizetype>(picture.size()));
  QBuffer inputDevice;
  inputDevice.setData(input);
  if (!inputDevice.open(QIODevice::ReadOnly)) return {};
  // The format comes from the bytes: a stored name may not match its content.
  QImageReader reader(&inputDevice);
  reader.setDecideFormatFromContent(true);
  QSize size = reader.size();
  QImage image;
  if (size.isValid()) {
    const webview::PictureSize target = fit({size.width(), size.height()});
    // Decoding at the target size lets the JPEG decoder skip most of the work.
    if (target.width != size.width() || target.height != size.height()) {
      reader.setScaledSize(QSize(target.width, target.height));
    }
    image = reader.read();
  } else {
    image = reader.read();
    if (!image.isNull()) {
      const webview::PictureSize target = fit({image.width(), image.height()});
      image = image.scaled(target.width, target.height, Qt::IgnoreAspectRatio,
                           Qt::SmoothTransformation);
    }
  }
  return image;
}

std::optional<std::vector<std::uint8_t>> QtPictureService::ScaledJpeg(
    std::span<const std::uint8_t> picture,
    const std::function<webview::PictureSize(webview::PictureSize)>& fit, int quality) {
  QImage image = DecodeFitted(picture, fit);
  if (image.isNull()) return std::nullopt;
  if (image.hasAlphaChannel()) {
    // JPEG has no transparency: show such parts on white.
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter painter(&opaque);
    painter.drawImage(0, 0, image);
    painter.end();
    image = opaque;
  }

  QByteArray output;
  QBuffer outputDevice(&output);
  if (!outputDevice.open(QIODevice::WriteOnly)) return std::nullopt;
  QImageWriter writer(&outputDevice, "jpeg");
  writer.setQuality(quality);
  if (!writer.write(image)) return std::nullopt;
  return std::vector<std::uint8_t>(output.begin(), output.end());
}

}  // namespace platform::qt
