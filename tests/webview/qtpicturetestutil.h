#pragma once
// Pictures drawn and encoded with Qt for the tests of the Qt picture service.

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include "tests/support/testsupport.h"

namespace webview::testing {

/// `image` encoded in one of the formats Qt writes ("JPEG", "PNG", "BMP").
inline testsupport::Bytes Encode(const QImage& image, const char* format) {
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  EXPECT_TRUE(image.save(&buffer, format));
  return testsupport::Bytes(data.begin(), data.end());
}

/// A picture with a left half of one colour and a right half of another.
inline QImage TwoColours(int width, int height, QColor left, QColor right) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.setPixelColor(x, y, x < width / 2 ? left : right);
  }
  return image;
}

}  // namespace webview::testing
