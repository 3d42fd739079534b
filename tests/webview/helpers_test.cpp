#include <gtest/gtest.h>

#include <set>

#include "tests/webview/webviewtestutil.h"
#include "webview/helpers.h"
#include "webview/lyrics.h"
#include "webview/previews.h"
#include "webview/webfolder.h"

namespace webview {
namespace {

using testsupport::ScopedTempDir;

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
  for (int i = 0; i < 2000; ++i) {
    const int value = RandomInt(3, 6);
    ASSERT_GE(value, 3);
    ASSERT_LE(value, 6);
    seen.insert(value);
  }
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
  EXPECT_FALSE(PathExists("file.txt"));  // no drive
  EXPECT_EQ(DriveTypeOf(""), 0);
  EXPECT_EQ(DriveTypeOf(folder), 3);
#ifdef _WIN32
  const char drive = folder.front();
  EXPECT_TRUE(PathExists(std::string(1, drive) + ":"));
  EXPECT_NE(LogicalDriveList().find(static_cast<char>(std::tolower(drive))), std::string::npos);
#else
  EXPECT_EQ(LogicalDriveList(), "/");
#endif
}

TEST(TempFolder, IsAnExistingFolderEndingInASeparator) {
  const std::string folder = TempFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), static_cast<char>(std::filesystem::path::preferred_separator));
  EXPECT_TRUE(PathExists(folder));
}

TEST(WebFolderLevel, ReplacesSeparatorsAndNamesEmptyLevels) {
  const std::pair<std::string, std::string> cases[] = {
      {"AC/DC", "AC DC"},
      {"  Padded Artist            ", "Padded Artist"},
      {"a\\b:c", "a b c"},
      {"", "_"},
      {"     ", "_"},
      {".", "_"},
      {"..", "_"},
      {" .. ", "_"},
      {"/", "_"},    // a blank once replaced
      {". .", "_"},  // Windows drops trailing dots and blanks: ". ." would be "."
      {"...", "_"},
      {"..x", "..x"},
      {std::string("ok\0/../x", 8), "ok"},  // a NUL ends a stored field
  };
  for (const auto& [text, level] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(WebFolderLevel(text), level);
  }
}

TEST(PrepareWebFolder, CreatesTheLevelsUnderTheTemporaryFolder) {
  ScopedTempDir dir;
  const std::string temp = testing::FolderText(dir.path());
  std::string error;
  const std::string folder = PrepareWebFolder(temp, {"Back: Home", "AC/DC  ", "1980"}, error);
  const char s = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(folder, temp + "AC DC" + s + "Back  Home" + s);
  EXPECT_TRUE(std::filesystem::is_directory(album::PathFromUtf8(folder)));
  EXPECT_EQ(PrepareWebFolder(temp, {"Back: Home", "AC/DC", ""}, error), folder);

  // A file in the place of a level.
  testsupport::WriteText(dir / "Blocked", "");
  EXPECT_EQ(PrepareWebFolder(temp, {"T", "Blocked", ""}, error), "");
  EXPECT_NE(error.find("Blocked"), std::string::npos);
}

TEST(ClearWebFolder, DeletesFilesButNotFolders) {
  ScopedTempDir dir;
  testsupport::WriteText(dir / "a.htm", "");
  testsupport::WriteText(dir / "b.jpg", "");
  std::filesystem::create_directory(dir / "sub");
  testsupport::WriteText(dir / "sub" / "keep.txt", "");
  std::string error;
  EXPECT_TRUE(ClearWebFolder(testing::FolderText(dir.path()), error)) << error;
  EXPECT_EQ(testing::FileNames(dir.path()), std::vector<std::string>{"sub"});
  EXPECT_TRUE(std::filesystem::exists(dir / "sub" / "keep.txt"));
  EXPECT_FALSE(ClearWebFolder(testing::FolderText(dir / "missing"), error));
}

TEST(SplitLyrics, EveryLineEndEndsALine) {
  struct Case {
    std::string text;
    std::string heading;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", "", {}},
      {"only", "only", {}},
      {"h\r\n", "h", {}},
      {"h\r\na\r\nb\r\n", "h", {"a", "b"}},
      {"h\na\nb", "h", {"a", "b"}},
      {"h\ra\rb\r", "h", {"a", "b"}},
      {"h\r\n\r\na", "h", {"", "a"}},
      {"h\n\r\n", "h", {""}},
      {"\r\nbody", "", {"body"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const LyricParts parts = SplitLyrics(c.text);
    EXPECT_EQ(parts.heading, c.heading);
    EXPECT_EQ(parts.lines, c.lines);
  }
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
}

}  // namespace
}  // namespace webview
