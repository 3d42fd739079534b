#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include <set>

#include "base/random.h"
#include "base/timetext.h"
#include "platform/system/folders.h"
#include "tests/webview/webviewtestutil.h"
#include "webview/previews.h"
#include "webview/webfolder.h"

namespace webview {
namespace {

using ::testing::HasSubstr;
using testsupport::ScopedTempDir;
using namespace base;
using namespace platform;

TEST(FormatSeconds, CutsFractionsAndPadsBelowTen) {
  const std::pair<double, const char*> cases[] = {
      {0, "00:00"},    {59.99, "00:59"}, {65.9, "01:05"},  {600, "10:00"},
      {3725, "62:05"}, {-65.9, "01:05"}, {6000, "100:00"}, {9.5, "00:09"},
  };
  for (const auto& [seconds, text] : cases) {
    SCOPED_TRACE(seconds);
    EXPECT_EQ(FormatSeconds(seconds), text);
  }
}

TEST(RandomInt, StaysWithinItsBoundsAndReachesBothEnds) {
  SeedRandomFromClock();
  std::set<int> seen;
  // A value out of bounds would show in the set too.
  for (int i = 0; i < 2000; ++i) seen.insert(RandomInt(3, 6));
  EXPECT_EQ(seen, (std::set<int>{3, 4, 5, 6}));
  EXPECT_EQ(RandomInt(7, 7), 7);
}

TEST(PathExists, FindsFilesAndFoldersOnPresentDrives) {
  ScopedTempDir dir;
  testsupport::WriteText(dir / "file.txt", "x");
  const std::string folder = testing::FolderText(dir.path());
  EXPECT_TRUE(PathExists(folder + "file.txt"));
  EXPECT_TRUE(PathExists("  " + folder + "file.txt  "));
  EXPECT_TRUE(PathExists(folder));  // one trailing separator is dropped
  EXPECT_FALSE(PathExists(folder + "missing.txt"));
  EXPECT_FALSE(PathExists(""));
  EXPECT_FALSE(PathExists("   "));
  EXPECT_EQ(DriveTypeOf(""), 0);
  EXPECT_EQ(DriveTypeOf(folder), 3);
#ifdef _WIN32
  const char drive = folder.front();
  EXPECT_TRUE(PathExists(std::string(1, drive) + ":"));
  EXPECT_THAT(LogicalDriveList(),
              HasSubstr(std::string(1, static_cast<char>(std::tolower(drive)))));
  EXPECT_FALSE(PathExists("file.txt"));  // no drive
#else
  EXPECT_EQ(LogicalDriveList(), "/");
  // A relative path is as real as any other: the existence test must not say no to it.
  const auto relative = std::filesystem::relative(dir / "file.txt");
  ASSERT_TRUE(relative.is_relative());
  EXPECT_TRUE(PathExists(base::Utf8FromPath(relative)));
  EXPECT_FALSE(PathExists("no-such-file.txt"));
#endif
}

TEST(TempFolder, IsAnExistingFolderEndingInASeparator) {
  const std::string folder = TempFolder();
  EXPECT_TRUE(folder.ends_with(static_cast<char>(std::filesystem::path::preferred_separator)));
  EXPECT_TRUE(PathExists(folder));
}

#ifndef _WIN32
TEST(TempFolder, AMissingOrEmptyTmpdirFallsBackToTheSystemDefault) {
  ScopedTempDir dir;
  const char* saved = std::getenv("TMPDIR");
  const std::optional<std::string> before =
      saved ? std::optional<std::string>(saved) : std::nullopt;
  std::filesystem::create_directory(dir / "rel");
  const auto relative = std::filesystem::relative(dir / "rel");
  ASSERT_TRUE(relative.is_relative());
  const std::pair<std::string, std::string> cases[] = {
      {testing::FolderText(dir.path()), testing::FolderText(dir.path())},
      {base::Utf8FromPath(dir / "missing"), "/tmp/"},
      {"", "/tmp/"},
      {base::Utf8FromPath(dir / "file.txt"), "/tmp/"},
      // A relative folder would read as a host in file addresses.
      {base::Utf8FromPath(relative), testing::FolderText(dir / "rel")},
  };
  testsupport::WriteText(dir / "file.txt", "");
  for (const auto& [tmpdir, folder] : cases) {
    SCOPED_TRACE(tmpdir);
    ::setenv("TMPDIR", tmpdir.c_str(), 1);
    EXPECT_EQ(TempFolder(), folder);
  }
  before ? ::setenv("TMPDIR", before->c_str(), 1) : ::unsetenv("TMPDIR");
  // Without a temporary folder nothing is made anywhere.
  std::string error;
  EXPECT_FALSE(PrepareWebFolder("", {"victim", "tmp", ""}, error));
  EXPECT_THAT(error, HasSubstr("no temporary folder")) << error;
}

// Whatever another user put in the place of our root, our views go to a private folder.
TEST(PrepareWebFolder, MovesToAPrivateFolderWhenAnotherUserHoldsTheRoot) {
  for (const char* kind : {"folder", "file", "symlink"}) {
    for (const bool runtime : {true, false}) {
      SCOPED_TRACE(std::string(kind) + (runtime ? " with XDG_RUNTIME_DIR" : ""));
      ScopedTempDir dir;
      std::filesystem::create_directories(dir / "temp");
      std::filesystem::create_directories(dir / "run");
      const auto held = dir / "temp" / WebRootLevel();
      const std::string what = kind;
      if (what == "folder") std::filesystem::create_directory(held);
      if (what == "file") testsupport::WriteText(held, "");
      if (what == "symlink") std::filesystem::create_directory_symlink(dir.path(), held);
      testing::GiveToAnotherUser(held, 0755);
      const std::string run = base::Utf8FromPath(dir / "run");
      runtime ? ::setenv("XDG_RUNTIME_DIR", run.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
      std::string error;
      const auto folder =
          PrepareWebFolder(testing::FolderText(dir / "temp"), {"Title", "Artist", ""}, error);
      ASSERT_TRUE(folder) << error;
      const std::string path = folder->Path();
      if (runtime) {
        EXPECT_EQ(path, testing::FolderText(dir / "run" / "lyrabinder-web" / "Artist" / "Title"));
      } else {
        EXPECT_TRUE(path.starts_with(base::Utf8FromPath(held) + "-")) << path;
        EXPECT_TRUE(path.ends_with("/Artist/Title/")) << path;
      }
      EXPECT_TRUE(std::filesystem::is_directory(path));
      EXPECT_THAT(folder->Notice(), HasSubstr(base::Utf8FromPath(held)));
      EXPECT_THAT(folder->Notice(), HasSubstr("the web view is in " + path + " instead"));
    }
  }
}
#endif

TEST(WebFolderLevel, ReplacesSeparatorsAndNamesEmptyOrDeviceLevels) {
  // "/" is a blank once replaced; Windows drops trailing dots and blanks, so ". ." would be ".".
  const std::pair<std::string, std::string> cases[] = {
      {"AC/DC", "AC DC"},
      {"  Padded Artist            ", "Padded Artist"},
      {"a\\b:c", "a b c"},
      {"", "_"},
      {"     ", "_"},
      {".", "_"},
      {"..", "_"},
      {" .. ", "_"},
      {"/", "_"},
      {". .", "_"},
      {"...", "_"},
      {"..x", "..x"},
      // Device names Windows cannot make a folder of, on both platforms alike.
      {"CON", "_"},
      {"lpt9.live", "_"},
      {"Com1 ", "_"},
      {"CONCERT", "CONCERT"},
      {"COM0", "COM0"}};
  for (const auto& [text, level] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(WebFolderLevel(text), level);
  }
  EXPECT_EQ(WebFolderLevel(std::string("ok\0/../x", 8)), "ok");  // a NUL ends a stored field
}

TEST(PrepareWebFolder, CreatesTheLevelsUnderAFolderOfOurOwn) {
  ScopedTempDir dir;
  const std::string temp = testing::FolderText(dir.path());
  std::string error;
  auto folder = PrepareWebFolder(temp, {"Back: Home", "AC/DC  ", "1980"}, error);
  ASSERT_TRUE(folder) << error;
  const std::string path = folder->Path();
  const char s = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(WebRootLevel().rfind("lyrabinder-web-", 0), 0u);
  EXPECT_EQ(path, temp + WebRootLevel() + s + "AC DC" + s + "Back  Home" + s);
  EXPECT_EQ(path, WebFolderFor(temp, {"Back: Home", "AC/DC  ", "1980"}));
  EXPECT_TRUE(folder->Notice().empty());
  EXPECT_TRUE(std::filesystem::is_directory(base::PathFromUtf8(path)));
  folder.reset();  // the lock of one run
  folder = PrepareWebFolder(temp, {"Back: Home", "AC/DC", ""}, error);
  ASSERT_TRUE(folder) << error;
  EXPECT_EQ(folder->Path(), path);

  // A file in the place of a level.
  testsupport::WriteText(dir / WebRootLevel() / "Blocked", "");
  EXPECT_FALSE(PrepareWebFolder(temp, {"T", "Blocked", ""}, error));
  EXPECT_THAT(error, HasSubstr("Blocked"));
}

TEST(ClearWebFolder, DeletesOnlyTheFilesOfTheWebView) {
  ScopedTempDir dir;
  for (const char* name : {"MP3 - LyrabinderWeb.htm", "view.js", "view.htm", "lyrics.htm",
                           "vrnprog2.gif", "dynamic1.htm", "lyrics12.htm", "cover.jpg"}) {
    testsupport::WriteText(dir / name, "");
  }
  const std::string kept[] = {"a.htm", "dynamicx.htm", "notes.txt", ".hidden", "lyrics.txt"};
  for (const std::string& name : kept) testsupport::WriteText(dir / name, "keep");
  std::filesystem::create_directory(dir / "sub");
  testsupport::WriteText(dir / "sub" / "view.js", "");
  std::filesystem::create_directory(dir / "elsewhere");
  testsupport::WriteText(dir / "elsewhere" / "view.js", "keep");
#ifndef _WIN32
  // A link named as a page goes, its target stays.
  std::filesystem::create_symlink(dir / "elsewhere" / "view.js", dir / "view.htm.link");
  std::filesystem::create_symlink(dir / "elsewhere" / "view.js", dir / "dynamic2.htm");
#endif
  std::string error;
  auto folder = WebFolder::OpenExisting(testing::FolderText(dir.path()), error);
  ASSERT_TRUE(folder) << error;
  EXPECT_TRUE(ClearWebFolder(*folder, error)) << error;
  std::vector<std::string> left = {".hidden",    "a.htm",     "dynamicx.htm", "elsewhere",
                                   "lyrics.txt", "notes.txt", "sub"};
#ifndef _WIN32
  left.push_back("view.htm.link");
#endif
  std::sort(left.begin(), left.end());
  EXPECT_EQ(testing::FileNames(dir.path()), left);
  EXPECT_TRUE(std::filesystem::exists(dir / "sub" / "view.js"));
  EXPECT_EQ(testing::ReadText(dir / "elsewhere" / "view.js"), "keep");
  EXPECT_FALSE(WebFolder::OpenExisting(testing::FolderText(dir / "missing"), error));
#ifndef _WIN32
  // A folder reached through a link is not opened.
  std::filesystem::create_directory_symlink(dir / "elsewhere", dir / "link");
  EXPECT_FALSE(WebFolder::OpenExisting(testing::FolderText(dir / "link"), error));
#endif
}

TEST(FitPreview, FitsIntoTheBoxWithoutEnlarging) {
  const std::pair<PictureSize, PictureSize> cases[] = {
      {{500, 250}, {250, 125}},   {{200, 100}, {200, 100}}, {{250, 250}, {250, 250}},
      {{1500, 1500}, {250, 250}}, {{100, 600}, {42, 250}},  {{251, 10}, {250, 10}},
      {{5000, 1}, {250, 1}},
  };
  for (const auto& [picture, preview] : cases) {
    SCOPED_TRACE(std::to_string(picture.width) + "x" + std::to_string(picture.height));
    EXPECT_EQ(FitPreview(picture), preview);
  }
}

TEST(PreviewFileName, ReplacesTheLastThreeCharacters) {
  EXPECT_EQ(PreviewFileName("cover.gif"), "cover.jpg");
  EXPECT_EQ(PreviewFileName("cover.jpg"), "cover.jpg");
  EXPECT_EQ(PreviewFileName("Cover.GIF"), "Cover.jpg");
  EXPECT_EQ(PreviewFileName("ab"), "jpg");
  // Too long for a file system: whole characters go before the extension.
  std::string accents;  // 250 "é", 500 bytes
  for (int i = 0; i < 250; ++i) accents += "\xC3\xA9";
  const std::pair<std::string, std::string> longNames[] = {
      {std::string(250, 'a') + ".gif", std::string(250, 'a') + ".jpg"},
      {std::string(260, 'a') + ".png", std::string(251, 'a') + ".jpg"},
      {accents + ".gif", accents.substr(0, 250) + ".jpg"},  // 251 bytes would halve an "é"
      {accents + "gif", accents.substr(0, 252) + "jpg"},
      {"x" + accents + "gif", ("x" + accents).substr(0, 251) + "jpg"},
  };
  for (const auto& [name, preview] : longNames) {
    SCOPED_TRACE(name);
    EXPECT_EQ(PreviewFileName(name), preview);
  }
}

}  // namespace
}  // namespace webview
