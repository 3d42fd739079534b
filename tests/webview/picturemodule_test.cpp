// The picture service loaded as a module at run time, as the command line uses it.

#include "platform/qt/picturemodule.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/qt/qtpictureservice.h"
#include "tests/webview/qtpicturetestutil.h"
#include "tests/webview/webviewtestutil.h"

namespace webview {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;
using testsupport::Bytes;

Bytes Picture(const char* format) {
  QImage image(600, 400, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < 400; ++y) {
    for (int x = 0; x < 300; ++x) image.setPixelColor(x, y, QColor(x % 256, y % 256, 90));
  }
  return testing::Encode(image, format);
}

TEST(LoadedPictureService, MakesTheSamePreviewsAsTheServiceItLoads) {
  platform::qt::LoadedPictureService loaded(LB_PICTURE_MODULE);
  platform::qt::QtPictureService direct;
  // Qt writes no GIF; PNG brings the transparency a GIF can have.
  for (const char* format : {"JPEG", "PNG", "BMP"}) {
    SCOPED_TRACE(format);
    const Bytes picture = Picture(format);
    const auto preview = MakePreview(loaded, picture);
    ASSERT_TRUE(preview);
    EXPECT_EQ(*preview, MakePreview(direct, picture));
  }
  EXPECT_FALSE(MakePreview(loaded, testsupport::BytesOf("not a picture")));
  EXPECT_EQ(loaded.LoadError(), "");
}

TEST(LoadedPictureService, SaysWhyTheModuleCannotBeLoaded) {
  const std::pair<const char*, const char*> cases[] = {
      {"liblyrabinder-missing.so", "not found in "},
      {LB_NOT_A_PICTURE_MODULE, "it has no LbScaledJpeg"},
  };
  const Bytes picture = Picture("JPEG");
  for (const auto& [module, reason] : cases) {
    SCOPED_TRACE(module);
    platform::qt::LoadedPictureService service(module);
    EXPECT_EQ(service.LoadError(), "");  // nothing is loaded before the first picture
    EXPECT_FALSE(MakePreview(service, picture));
    EXPECT_THAT(service.LoadError(), StartsWith(std::string("Cannot load ") + module + ": "));
    EXPECT_THAT(service.LoadError(), HasSubstr(reason));
    // Tried once: the next picture gets the same answer without another attempt.
    EXPECT_FALSE(MakePreview(service, picture));
  }
}

// Only the commands that make previews map Qt, and only when they make one.
TEST(LoadedPictureService, LeavesTheCommandLineFreeOfQt) {
  std::string libraries;
  ASSERT_EQ(testsupport::RunCommand("ldd " LB_CLI, &libraries), 0) << libraries;
  EXPECT_THAT(libraries, HasSubstr("libc.so")) << libraries;
  EXPECT_EQ(libraries.find("libQt"), std::string::npos) << libraries;
}

}  // namespace
}  // namespace webview
