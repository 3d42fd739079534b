// lyrabinder-thumbnailer as a file manager runs it: the first picture as a PNG, or nothing.
#include <sys/stat.h>

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

TEST_F(Thumbnailer, WritesTheFirstPictureFittedIntoSize) {
  const auto picture = [](int width, int height, std::uint8_t red) {
    return webview::testing::Gif(width, height, {red, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                 [](int, int) { return 0; });
  };
  const fs::path album =
      Album({{"cover.gif", picture(400, 200, 200)}, {"back.gif", picture(50, 50, 10)}, kTrack});
  const int cases[][3] = {{128, 128, 64}, {1024, 400, 200}};
  for (const auto& [size, width, height] : cases) {
    SCOPED_TRACE(size);
    ASSERT_EQ(Run("-s " + std::to_string(size) + " " + Quote(album) + " out.png"), 0);
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString((dir / "out.png").string()), "PNG"));
    EXPECT_EQ(image.size(), QSize(width, height));
    EXPECT_EQ(qRed(image.pixel(0, 0)), 200);
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

  const std::pair<std::string, int> cases[] = {
      {"-s 128 " + Quote(bare), 1}, {"-s 128 Garbled_LB.MP3", 1}, {"-s 128 Cut_LB.MP3", 1},
      {"-s 128 pipe_LB.MP3", 1},    {"-s 128 track.mp3", 1},      {"-s 128 missing_LB.MP3", 1},
      {"-s 0 " + Quote(bare), 2},   {"-s x " + Quote(bare), 2},   {Quote(bare), 2},
  };
  for (const auto& [arguments, status] : cases) {
    SCOPED_TRACE(arguments);
    EXPECT_EQ(Run(arguments + " out.png"), status);
    EXPECT_EQ(ReadText(dir / "out.png"), "older thumbnail");
  }
}

}  // namespace
