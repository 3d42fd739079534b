// lyrabinder-thumbnailer as a file manager runs it: the first picture as a PNG, or nothing.
#include <sys/stat.h>

#include <QBuffer>
#include <QImage>

#include "tests/cli/clitest.h"

namespace {

namespace fs = std::filesystem;
using clitest::ReadText;
using testsupport::Quote;

class Thumbnailer : public clitest::CliTest {
 protected:
  int Run(const std::string& arguments) {
    std::string out, err;
    return Cli(arguments, out, err, "", LB_THUMBNAILER);
  }
  const album::testing::Source kTrack{"one.mp3", testsupport::Mp3Stream(2), 1, "One"};
};

// 400 x 200 pixels of red 200.
testsupport::Bytes RedJpeg() {
  QImage red(400, 200, QImage::Format_RGB32);
  red.fill(qRgb(200, 0, 0));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && red.save(&buffer, "JPEG", 95));
  return testsupport::Bytes(jpeg.begin(), jpeg.end());
}

// A JPEG is decoded by the thumbnailer itself, any other picture through the picture module.
TEST_F(Thumbnailer, WritesTheFirstPictureFittedIntoSize) {
  const auto gif = [](int width, int height, std::uint8_t red) {
    return webview::testing::Gif(width, height, {red, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                 [](int, int) { return 0; });
  };
  const fs::path albums[] = {
      Album({{"cover.gif", gif(400, 200, 200)}, {"back.gif", gif(50, 50, 10)}, kTrack}),
      Album({{"cover.jpg", RedJpeg()}, {"back.gif", gif(50, 50, 10)}, kTrack}, {}, "J_LB.MP3")};
  const int cases[][3] = {{128, 128, 64}, {1024, 400, 200}, {101, 101, 50}};
  for (const fs::path& album : albums) {
    for (const auto& [size, width, height] : cases) {
      SCOPED_TRACE(album.filename().string() + " " + std::to_string(size));
      ASSERT_EQ(Run("-s " + std::to_string(size) + " " + Quote(album) + " out.png"), 0);
      QImage image;
      ASSERT_TRUE(image.load(QString::fromStdString((dir / "out.png").string()), "PNG"));
      EXPECT_EQ(image.size(), QSize(width, height));
      EXPECT_NEAR(qRed(image.pixel(width - 1, height - 1)), 200, 4);
      EXPECT_NEAR(qGreen(image.pixel(0, 0)), 0, 4);
    }
  }
}

TEST_F(Thumbnailer, FailsWithoutWritingAnything) {
  const fs::path bare = Album({kTrack}, {}, "Bare_LB.MP3");
  Album({{"cover.jpg", testsupport::Pattern(300)}, kTrack}, {}, "Garbled_LB.MP3");
  testsupport::Bytes bytes = testsupport::ReadFile(dir / "Garbled_LB.MP3");
  bytes.resize(bytes.size() - 200);
  testsupport::WriteFile(dir / "Cut_LB.MP3", bytes);
  ASSERT_EQ(::mkfifo((dir / "pipe_LB.MP3").c_str(), 0600), 0);
  testsupport::WriteFile(dir / "track.mp3", testsupport::Mp3Stream(2));
  testsupport::WriteText(dir / "out.png", "older thumbnail");
  // A JPEG whose frame header claims 65000 x 65000 pixels.
  testsupport::Bytes huge = RedJpeg();
  const std::array<std::uint8_t, 2> startOfFrame = {0xFF, 0xC0};
  const auto frame =
      std::search(huge.begin(), huge.end(), startOfFrame.begin(), startOfFrame.end());
  ASSERT_NE(frame, huge.end());
  std::fill(frame + 5, frame + 9, 0xFD);
  Album({{"cover.jpg", huge}, kTrack}, {}, "Huge_LB.MP3");

  const std::pair<std::string, int> cases[] = {
      {"-s 128 " + Quote(bare), 1}, {"-s 128 Garbled_LB.MP3", 1},
      {"-s 128 Cut_LB.MP3", 1},     {"-s 128 pipe_LB.MP3", 1},
      {"-s 128 track.mp3", 1},      {"-s 128 missing_LB.MP3", 1},
      {"-s 128 Huge_LB.MP3", 1},    {"-s 0 " + Quote(bare), 2},
      {"-s x " + Quote(bare), 2},   {Quote(bare), 2},
  };
  for (const auto& [arguments, status] : cases) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Run(arguments + " out.png"), status);
    EXPECT_EQ(ReadText(dir / "out.png"), "older thumbnail");
  }
}

}  // namespace
