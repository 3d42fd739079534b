// lyrabinder-cli web and cue, run as a user would.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include "tests/cli/clitest.h"
#include "webview/webfolder.h"

namespace webview {
namespace {

using ::testing::HasSubstr;
using testing::ReadText;
using testsupport::Bytes;
using testsupport::Quote;

Bytes Jpeg(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(QColor(200, 40, 40));
  QByteArray data;
  QBuffer buffer(&data);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG");
  return Bytes(data.begin(), data.end());
}

using CommandLine = clitest::CliTest;

TEST_F(CommandLine, WebWritesTheViewAndPrintsItsFolder) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(3), 1, "One"},
                           {"one.txt", testsupport::BytesOf("Head\r\nwords\r\n")},
                           {"cover.jpg", Jpeg(500, 250)}});
  const Bytes before = testsupport::ReadFile(path);
  std::string out, err;
  ASSERT_EQ(Cli("web " + Quote(path), out, err), 0) << err;
  const auto folder = dir / "temp" / WebRootLevel() / "Band" / "Best Of";
  EXPECT_EQ(out, testing::FolderText(folder) + "\n");
  EXPECT_EQ(err, "");
  EXPECT_EQ(testing::FileNames(folder),
            (std::vector<std::string>{"MP3 - LyrabinderWeb.htm", "cover.jpg", "dynamic1.htm",
                                      "lyrics.htm", "lyrics1.htm", "view.htm", "view.js"}));
  QImage preview;
  ASSERT_TRUE(preview.load(QString::fromStdString((folder / "cover.jpg").string())));
  EXPECT_EQ(preview.size(), QSize(250, 125));
  // The command line never writes to the album it reads.
  EXPECT_EQ(testsupport::ReadFile(path), before);
}

// Without pictures the view shows the no-pictures image from the data folder.
TEST_F(CommandLine, WebOpensTheMainPageInTheDesktopsBrowser) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(3), 1, "One"}});
  // A desktop whose opener notes what it was given.
  std::filesystem::create_directory(dir / "bin");
  const auto opener = dir / "bin" / "xdg-open";
  testsupport::WriteText(opener,
                         "#!/bin/sh\nprintf '%s' \"$1\" > " + Quote(dir / "opened.txt") + "\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  const std::string desktop = "PATH=" + Quote(dir / "bin") + ":\"$PATH\"";
  std::string out, err;
  ASSERT_EQ(Cli("web --open " + Quote(path), out, err, desktop), 0) << err;
  const auto folder = dir / "temp" / WebRootLevel() / "Band" / "Best Of";
  EXPECT_EQ(ReadText(dir / "opened.txt"), testing::FolderText(folder) + "MP3 - LyrabinderWeb.htm");
  EXPECT_EQ(testsupport::ReadFile(folder / "vrnprog2.gif"),
            testsupport::ReadFile(std::filesystem::path(LB_DATA_DIR) / "vrnprog2.gif"));

  testsupport::WriteText(opener, "#!/bin/sh\nexit 3\n");
  EXPECT_EQ(Cli("web --open " + Quote(path), out, err, desktop), 1);
  EXPECT_EQ(err, "Cannot open " + testing::FolderText(folder) +
                     "MP3 - LyrabinderWeb.htm in a browser.\n");
}

// A copy of the program away from the build tree finds no picture module beside it.
TEST_F(CommandLine, WebSaysWhyItCannotMakePreviews) {
  const auto path =
      Album({{"one.mp3", testsupport::Mp3Stream(3), 1, "One"}, {"cover.jpg", Jpeg(500, 250)}});
  const auto program = dir / "elsewhere" / "lyrabinder-cli";
  std::filesystem::create_directories(program.parent_path());
  std::filesystem::copy_file(LB_CLI, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_exec,
                               std::filesystem::perm_options::add);
  std::string out, err;
  EXPECT_EQ(Cli("web " + Quote(path), out, err, "", Quote(program)), 1);
  EXPECT_THAT(err, HasSubstr("Cannot load liblyrabinder-pictures.so: not found in " +
                             (dir / "elsewhere").string()));
  EXPECT_EQ(out, "");
}

TEST_F(CommandLine, WebRefusesWhatIsNoAlbum) {
  testsupport::WriteFile(dir / "plain.mp3", testsupport::Mp3Stream(10));
  std::string out, err;
  EXPECT_EQ(Cli("web " + Quote(dir / "plain.mp3"), out, err), 1);
  EXPECT_EQ(err, "File Is Damaged, Or Of An Unsupported Type !\n");
  EXPECT_EQ(out, "");
}

// Folders another user could change are refused or moved aside, and every run says why. The
// temporary folders are named relative to the working folder: the pages need absolute ones.
TEST_F(CommandLine, WebRefusesOrMovesAsideWhatOthersCanChange) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(3), 1, "One"}});
  const auto run = dir / "run";
  std::filesystem::create_directory(run);
  const std::string root = WebRootLevel();
  const auto titleIn = [&](const std::filesystem::path& temp) { return temp / "Band" / "Best Of"; };
  const struct {
    const char* temp;
    std::function<void(const std::filesystem::path&)> prepare;
    int status;
    std::filesystem::path folder;  // printed on success
    std::string message;
  } cases[] = {
      {"mine", [](const auto&) {}, 0, titleIn(dir / "mine" / root), ""},
      {"sticky", [](const auto& temp) { ASSERT_EQ(::chmod(temp.c_str(), 01777), 0); }, 0,
       titleIn(dir / "sticky" / root), ""},
      {"theirs",
       [](const auto& temp) { testing::GiveToAnotherUser(temp, 0777); },
       1,
       {},
       "belongs to another user; set TMPDIR to choose another temporary folder"},
      {"open",
       [](const auto& temp) { std::filesystem::permissions(temp, std::filesystem::perms::all); },
       1,
       {},
       "(it has no sticky bit); set TMPDIR to choose another temporary folder"},
      {"held",
       [&](const auto& temp) {
         std::filesystem::create_directory(temp / root);
         testing::GiveToAnotherUser(temp / root, 0755);
       },
       0, titleIn(run / "lyrabinder-web"), "belongs to another user; the web view is in "},
      {"page",
       [&](const auto& temp) {
         std::filesystem::create_directories(titleIn(temp / root) / kMainPageName);
       },
       1,
       {},
       "MP3 - LyrabinderWeb.htm: Is a directory"},
  };
  for (const auto& [temp, prepare, status, folder, message] : cases) {
    SCOPED_TRACE(temp);
    std::filesystem::create_directory(dir / temp);
    prepare(dir / temp);
    std::string out, err;
    EXPECT_EQ(Cli("web " + Quote(path), out, err,
                  "TMPDIR=" + std::string(temp) + " XDG_RUNTIME_DIR=" + Quote(run)),
              status);
    EXPECT_THAT(err, HasSubstr(message));
    EXPECT_EQ(out, folder.empty() ? "" : testing::FolderText(folder) + "\n");
    EXPECT_EQ(std::filesystem::exists(folder / kMainPageName), !folder.empty());
  }
}

TEST_F(CommandLine, WebSaysHowManyFilesALargeRunWrites) {
  std::vector<album::testing::Source> tracks;
  for (int i = 0; i < 500; ++i) {
    tracks.push_back({"t" + std::to_string(i) + ".mp3", testsupport::Mp3Stream(1), 1, "T"});
  }
  const auto path = Album(tracks, {"Best Of", "Band", "2001", "", "250"});
  std::string out, err;
  ASSERT_EQ(Cli("web " + Quote(path), out, err), 0) << err;
  EXPECT_EQ(err, "Writing 1005 files (pages and previews) for 500 tracks.\n");
}

TEST_F(CommandLine, CueWritesOnceAndReplacesOnlyWhenForced) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(3), 1, "One"},
                           {"two.mp3", testsupport::Mp3Stream(3), 1, "Two"}});
  const Bytes before = testsupport::ReadFile(path);
  const auto sheet = dir / "Best_LB.cue";
  std::string out, err;
  ASSERT_EQ(Cli("cue " + Quote(path), out, err), 0) << err;
  EXPECT_EQ(out, base::Utf8FromPath(sheet) + "\nCUE File created.\n");
  const std::string text = ReadText(sheet);
  EXPECT_TRUE(text.starts_with("TITLE \"Best Of\"\r\nPERFORMER \"Band\"\r\nREM Year  : 2001\r\n"))
      << text;
  EXPECT_THAT(text, HasSubstr("FILE \"Best_LB.MP3\" MP3\r\n"));
  EXPECT_THAT(text, HasSubstr("    INDEX 01 00:01:00\r\n"));  // after 1000 ms

  testsupport::WriteText(sheet, "old");
  EXPECT_EQ(Cli("cue " + Quote(path), out, err), 1);
  EXPECT_EQ(err, "A CUE sheet already exists for this file,\nReplace it ?\n");
  EXPECT_EQ(ReadText(sheet), "old");

  ASSERT_EQ(Cli("cue --force " + Quote(path), out, err), 0) << err;
  EXPECT_EQ(ReadText(sheet), text);
  EXPECT_EQ(testsupport::ReadFile(path), before);
}

}  // namespace
}  // namespace webview
