// lyrabinder-thumbnailer as a file manager runs it: the first picture as a PNG, or nothing.
#include <sys/stat.h>

#include <QImage>

#include "tests/cli/clitest.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Quote;
using webview::testing::Gif;

class Thumbnailer : public clitest::CliTest {
 protected:
  // Runs the thumbnailer; the exit status.
  int Run(const std::string& arguments) {
    std::string out, err;
    return Cli(arguments, out, err, "", LB_THUMBNAILER);
  }
  static testsupport::Bytes Picture(int width, int height, std::uint8_t red) {
    return Gif(width, height, {red, 0, 0, 0, 0, 255, 0, 0, 0, 0, 0, 0}, [](int, int) { return 0; });
  }
};

TEST_F(Thumbnailer, WritesTheFirstPictureFittedIntoSize) {
  const fs::path album = Album({{"cover.gif", Picture(400, 200, 200)},
                                {"back.gif", Picture(50, 50, 10)},
                                {"one.mp3", testsupport::Mp3Stream(2), 1, "One"}});
  const struct {
    int size;
    int width, height;
  } cases[] = {{128, 128, 64}, {256, 256, 128}, {1024, 400, 200}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    const fs::path png = dir / ("thumb" + std::to_string(c.size) + ".png");
    ASSERT_EQ(Run("-s " + std::to_string(c.size) + " " + Quote(album) + " " + Quote(png)), 0);
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png.string()), "PNG"));
    EXPECT_EQ(image.width(), c.width);
    EXPECT_EQ(image.height(), c.height);
    EXPECT_EQ(qRed(image.pixel(0, 0)), 200);
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "temp"), fs::directory_iterator()), 0);
}

TEST_F(Thumbnailer, FailsWithoutWritingAnything) {
  const fs::path bare =
      Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}}, {}, "Bare_LB.MP3");
  const fs::path full = Album(
      {{"cover.gif", Picture(40, 20, 200)}, {"one.mp3", testsupport::Mp3Stream(2), 1, "One"}});
  Album(
      {{"cover.jpg", testsupport::Pattern(300)}, {"one.mp3", testsupport::Mp3Stream(2), 1, "One"}},
      {}, "Garbled_LB.MP3");
  testsupport::Bytes bytes = testsupport::ReadFile(full);
  bytes.resize(bytes.size() - 200);
  testsupport::WriteFile(dir / "Cut_LB.MP3", bytes);
  ASSERT_EQ(::mkfifo((dir / "pipe_LB.MP3").c_str(), 0600), 0);
  testsupport::WriteFile(dir / "track.mp3", testsupport::Mp3Stream(2));

  const struct {
    std::string arguments;
    int status;
  } cases[] = {
      {"-s 128 " + Quote(bare), 1}, {"-s 128 Cut_LB.MP3", 1},   {"-s 128 Garbled_LB.MP3", 1},
      {"-s 128 pipe_LB.MP3", 1},    {"-s 128 track.mp3", 1},    {"-s 128 missing_LB.MP3", 1},
      {"-s 0 " + Quote(full), 2},   {"-s x " + Quote(full), 2}, {Quote(full), 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    EXPECT_EQ(Run(c.arguments + " out.png"), c.status << 8);
    EXPECT_FALSE(fs::exists(dir / "out.png"));
  }
  // A failure leaves an older thumbnail alone.
  testsupport::WriteText(dir / "old.png", "old");
  EXPECT_NE(Run("-s 128 " + Quote(bare) + " old.png"), 0);
  EXPECT_EQ(ReadText(dir / "old.png"), "old");
}

}  // namespace
