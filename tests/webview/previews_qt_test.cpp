#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>

#include "platform/qt/qtpictureservice.h"
#include "tests/webview/qtpicturetestutil.h"
#include "tests/webview/webviewtestutil.h"

namespace webview {
namespace {

using testing::Encode;
using testing::TwoColours;
using testsupport::Bytes;

QImage Decode(const std::vector<std::uint8_t>& jpeg, QByteArray* format = nullptr) {
  QByteArray data(reinterpret_cast<const char*>(jpeg.data()), static_cast<qsizetype>(jpeg.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  if (format) *format = reader.format();
  return reader.read();
}

bool Near(QColor a, QColor b, int tolerance = 8) {
  return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
         std::abs(a.blue() - b.blue()) <= tolerance;
}

TEST(QtPictureService, MakesJpegPreviewsOfTheRightSize) {
  platform::qt::QtPictureService service;
  struct Case {
    const char* name;
    const char* format;
    int width, height;
    int previewWidth, previewHeight;
  };
  const Case cases[] = {
      {"wide JPEG", "JPEG", 500, 250, 250, 125},    {"small JPEG kept", "JPEG", 200, 100, 200, 100},
      {"tall GIF", "GIF", 100, 600, 42, 250},       {"BMP", "BMP", 1000, 1000, 250, 250},
      {"large JPEG", "JPEG", 1500, 1000, 250, 167},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes picture =
        std::string_view(c.format) == "GIF"
            ? testing::Gif(c.width, c.height, {255, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0},
                           [&](int x, int) { return x < c.width / 2 ? 0 : 1; })
            : Encode(TwoColours(c.width, c.height, Qt::red, Qt::blue), c.format);
    const auto preview = MakePreview(service, picture);
    ASSERT_TRUE(preview);
    QByteArray format;
    const QImage image = Decode(*preview, &format);
    EXPECT_EQ(format, "jpeg");
    EXPECT_EQ(image.width(), c.previewWidth);
    EXPECT_EQ(image.height(), c.previewHeight);
    // The picture itself, not just its size: red on the left, blue on the right.
    EXPECT_TRUE(Near(image.pixelColor(2, image.height() / 2), Qt::red, 24));
    EXPECT_TRUE(Near(image.pixelColor(image.width() - 3, image.height() / 2), Qt::blue, 24));
  }
}

TEST(QtPictureService, WritesAtFullQuality) {
  platform::qt::QtPictureService service;
  const QColor colour(90, 160, 40);
  const auto preview = MakePreview(service, Encode(TwoColours(64, 64, colour, colour), "PNG"));
  ASSERT_TRUE(preview);
  const QImage image = Decode(*preview);
  for (const QPoint point : {QPoint(0, 0), QPoint(31, 31), QPoint(63, 63)}) {
    EXPECT_TRUE(Near(image.pixelColor(point), colour, 2)) << point.x() << "," << point.y();
  }
}

TEST(QtPictureService, ShowsTransparencyOnWhite) {
  platform::qt::QtPictureService service;
  const Bytes clear = testing::Gif(
      40, 40, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, [](int, int) { return 2; }, 2);
  const auto preview = MakePreview(service, clear);
  ASSERT_TRUE(preview);
  EXPECT_TRUE(Near(Decode(*preview).pixelColor(20, 20), Qt::white));
}

TEST(QtPictureService, RefusesWhatIsNoPicture) {
  platform::qt::QtPictureService service;
  EXPECT_FALSE(MakePreview(service, testsupport::BytesOf("not a picture at all")));
  EXPECT_FALSE(MakePreview(service, {}));
  Bytes truncated = Encode(TwoColours(300, 300, Qt::red, Qt::blue), "JPEG");
  truncated.resize(20);
  EXPECT_FALSE(MakePreview(service, truncated));
}

}  // namespace
}  // namespace webview
