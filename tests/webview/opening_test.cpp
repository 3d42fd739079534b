#include <gtest/gtest.h>

#include "base/bytes.h"
#include "base/text.h"
#include "tests/webview/webviewtestutil.h"
#include "webview/opening.h"
#include "webview/pages.h"

namespace webview {
namespace {

using album::testing::Source;
using testing::FakePicture;
using testing::FakePictureService;
using testing::FileNames;
using testing::ReadText;
using testsupport::Bytes;
using testsupport::ScopedTempDir;

constexpr char kSep = static_cast<char>(std::filesystem::path::preferred_separator);

// A temporary folder holding the album, the program's data folder and the system's
// temporary folder of the opening.
class Opening : public ::testing::Test {
 protected:
  Opening() {
    std::filesystem::create_directories(dir / "data");
    std::filesystem::create_directories(dir / "temp");
    testsupport::WriteText(dir / "data" / "vrnprog2.gif", "GIF89a-test");
    options.tempFolder = testing::FolderText(dir / "temp");
    options.dataFolder = base::Utf8FromPath(dir / "data");
  }

  std::filesystem::path Album(const std::vector<Source>& sources,
                              album::AlbumDetails details = {"Best Of", "Band", "2001", "", ""}) {
    const auto path = dir / "Best_LB.MP3";
    const album::WriteResult result = album::testing::MakeAlbum(dir, sources, path, details);
    EXPECT_TRUE(result.ok()) << result.error;
    return path;
  }

  WebViewOpening Open(const std::filesystem::path& path, const album::TagWriter& writeBack = {}) {
    std::string error;
    auto source = base::FileSource::Open(path, error);
    EXPECT_TRUE(source) << error;
    album::AlbumReader reader(*source);
    album::NullDisplay display;
    return OpenWebView(*source, reader, display, writeBack, pictures, options);
  }

  std::filesystem::path Folder(std::string_view artist, std::string_view title) {
    return dir / "temp" / WebRootLevel() / base::PathFromUtf8(artist) / base::PathFromUtf8(title);
  }

  ScopedTempDir dir;
  FakePictureService pictures;
  OpeningOptions options;
};

TEST_F(Opening, WritesPagesAndPreviewsOfAnAlbumWithEverything) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(3), 1, "One"},
                           {"one.txt", testsupport::BytesOf("Title line\r\nWords\r\n")},
                           {"two.mp3", testsupport::Mp3Stream(2), 1, "Two"},
                           {"front.jpg", FakePicture(500, 250)},
                           {"back.gif", FakePicture(200, 100)}});
  const Bytes before = testsupport::ReadFile(path);
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
  EXPECT_TRUE(opening.tagAnsweredYes);
  EXPECT_TRUE(opening.regenerated);
  EXPECT_TRUE(opening.warnings.empty());
  const auto folder = Folder("Band", "Best Of");
  EXPECT_EQ(opening.folder, testing::FolderText(folder));
  EXPECT_EQ(opening.pictureNames, (std::vector<std::string>{"front.jpg", "back.gif"}));
  EXPECT_EQ(FileNames(folder),
            (std::vector<std::string>{"MP3 - LyrabinderWeb.htm", "back.jpg", "dynamic1.htm",
                                      "dynamic2.htm", "front.jpg", "lyrics.htm", "lyrics1.htm",
                                      "lyrics2.htm", "view.htm", "view.js"}));
  EXPECT_EQ(ReadText(folder / "front.jpg"), "JPEG 250x125");
  EXPECT_EQ(ReadText(folder / "back.jpg"), "JPEG 200x100");
  EXPECT_EQ(ReadText(folder / "view.htm"),
            SlideshowPage(opening.folder, {"front.jpg", "back.gif"}));
  const std::string lyrics = ReadText(folder / "lyrics1.htm");
  EXPECT_NE(lyrics.find("<H3>\r\nTitle line<br>\r\n</H3>\r\n<p>\r\nWords<br>\r\n</p>"),
            std::string::npos);
  // The details as the boxes hold them: the artist with its padding.
  EXPECT_NE(lyrics.find("<center><H3>Band" + std::string(26, ' ') + " - Best Of (2001)"),
            std::string::npos);
  EXPECT_NE(ReadText(folder / "lyrics2.htm").find("Instrumental or no lyrics included."),
            std::string::npos);
  // An empty tag writer leaves the album as it was.
  EXPECT_EQ(testsupport::ReadFile(path), before);
}

TEST_F(Opening, AlbumWithoutPicturesOrLyricsGetsTheNoPicturesPage) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}});
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
  const auto folder = Folder("Band", "Best Of");
  EXPECT_EQ(ReadText(folder / "view.htm"), NoPicturesPage());
  EXPECT_EQ(ReadText(folder / "vrnprog2.gif"), "GIF89a-test");
  const std::string lyrics = ReadText(folder / "lyrics1.htm");
  EXPECT_NE(lyrics.find("<H3>\r\nOne" + std::string(47, ' ') +
                        "<br>\r\n</H3>\r\n<p>\r\nNo lyrics included.<br>\r\n</p>"),
            std::string::npos);
  EXPECT_TRUE(pictures.fitted.empty());
}

TEST_F(Opening, JoinsTwoLyricsEntriesOfOneTrack) {
  // Lyrics belong to the first track of the file name before them.
  const auto path = Album({{"a/one.mp3", testsupport::Mp3Stream(2), 1, "One"},
                           {"a/first.txt", testsupport::BytesOf("Head\r\nfirst\r\n")},
                           {"b/one.mp3", testsupport::Mp3Stream(2), 1, "Again"},
                           {"b/second.txt", testsupport::BytesOf("second\r\n")}});
  ASSERT_EQ(Open(path).status, OpeningStatus::Ok);
  const auto folder = Folder("Band", "Best Of");
  EXPECT_NE(ReadText(folder / "lyrics1.htm").find("<p>\r\nfirst<br>\r\nsecond<br>\r\n</p>"),
            std::string::npos);
  EXPECT_NE(ReadText(folder / "lyrics2.htm").find("Instrumental or no lyrics included."),
            std::string::npos);
}

TEST_F(Opening, PicturesSharingABaseNameShareOnePreview) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"},
                           {"x/cover.gif", FakePicture(500, 500)},
                           {"y/cover.jpg", FakePicture(100, 100)}});
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok);
  EXPECT_EQ(pictures.fitted, (std::vector<PictureSize>{{250, 250}}));
  const auto folder = Folder("Band", "Best Of");
  EXPECT_EQ(ReadText(folder / "cover.jpg"), "JPEG 250x250");
  const std::string view = ReadText(folder / "view.htm");
  const std::string slide = "SLIDES.add_slide(new slide(\"" +
                            PreviewAddress(opening.folder, "cover.jpg", true) + "\"))\r\n";
  EXPECT_NE(view.find(slide + slide), std::string::npos);
}

TEST_F(Opening, APictureWithoutPreviewIsAWarning) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"},
                           {"broken.jpg", testsupport::BytesOf("not a picture")},
                           {"good.jpg", FakePicture(10, 10)}});
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok);
  ASSERT_EQ(opening.warnings.size(), 1u);
  EXPECT_NE(opening.warnings[0].find("broken.jpg"), std::string::npos);
  EXPECT_EQ(opening.pictureNames, (std::vector<std::string>{"broken.jpg", "good.jpg"}));
  EXPECT_FALSE(std::filesystem::exists(Folder("Band", "Best Of") / "broken.jpg"));
}

TEST_F(Opening, RegeneratesOnlyWhenTheTagAsksOrTheScriptIsMissing) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}});
  const auto folder = Folder("Band", "Best Of");
  ASSERT_EQ(Open(path).status, OpeningStatus::Ok);
  // A page of an earlier album of that name; other files are not the view's to delete.
  testsupport::WriteText(folder / "dynamic9.htm", "old");
  testsupport::WriteText(folder / "notes.txt", "keep");
  testsupport::WriteText(folder / "MP3 - LyrabinderWeb.htm", "old main");

  // Genre 255: every opening starts from an empty folder.
  WebViewOpening opening = Open(path);
  EXPECT_TRUE(opening.regenerated);
  EXPECT_FALSE(std::filesystem::exists(folder / "dynamic9.htm"));
  EXPECT_EQ(ReadText(folder / "MP3 - LyrabinderWeb.htm"), MainFramesetPage());

  // Another genre: the pages of the earlier opening are shown as they are.
  Bytes data = testsupport::ReadFile(path);
  data.back() = 12;
  testsupport::WriteFile(path, data);
  testsupport::WriteText(folder / "dynamic9.htm", "old");
  opening = Open(path);
  EXPECT_EQ(opening.status, OpeningStatus::Ok);
  EXPECT_FALSE(opening.tagAnsweredYes);
  EXPECT_FALSE(opening.regenerated);
  EXPECT_TRUE(std::filesystem::exists(folder / "dynamic9.htm"));

  std::filesystem::remove(folder / "view.js");
  opening = Open(path);
  EXPECT_TRUE(opening.regenerated);
  EXPECT_FALSE(std::filesystem::exists(folder / "dynamic9.htm"));
  EXPECT_TRUE(std::filesystem::exists(folder / "view.js"));
  EXPECT_EQ(ReadText(folder / "notes.txt"), "keep");
}

TEST_F(Opening, HooksRunInTheOrderOfTheSequence) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"},
                           {"a.jpg", FakePicture(10, 10)},
                           {"b.jpg", FakePicture(10, 10)}});
  std::vector<std::string> calls;
  const auto folder = Folder("Band", "Best Of");
  options.beforeRegeneration = [&] { calls.push_back("regenerate"); };
  options.beforePreviews = [&] { calls.push_back("previews"); };
  options.afterPicture = [&](int done, int total) {
    calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    return true;
  };
  options.beforePages = [&] {
    calls.push_back(std::filesystem::exists(folder / "b.jpg") &&
                            !std::filesystem::exists(folder / "view.htm")
                        ? "pages"
                        : "pages too late");
  };
  options.rewriteMainPage = true;
  ASSERT_EQ(Open(path).status, OpeningStatus::Ok);
  EXPECT_EQ(calls, (std::vector<std::string>{"regenerate", "previews", "1/2", "2/2", "pages"}));
}

TEST_F(Opening, WritesTheOpenedMarkThroughTheGivenWriter) {
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"}});
  ASSERT_EQ(Open(path, album::FileTagWriter(path)).status, OpeningStatus::Ok);
  const Bytes data = testsupport::ReadFile(path);
  EXPECT_EQ(data[data.size() - 2], album::kOpenedTrackByte);
}

TEST_F(Opening, RefusesFilesThatAreNoAlbumsOrAreDamaged) {
  testsupport::WriteFile(dir / "plain.mp3", testsupport::Mp3Stream(20));
  EXPECT_EQ(Open(dir / "plain.mp3").status, OpeningStatus::NotAlbum);

  // A lyrics entry for a track the directory does not have.
  const auto path = Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "One"},
                           {"one.txt", testsupport::BytesOf("words")}});
  Bytes data = testsupport::ReadFile(path);
  const std::size_t lyricsEntry =
      data.size() - album::kTailSize - album::kTrackEntrySize - (album::kLyricsHeaderSize + 5);
  base::PutLE16(data, lyricsEntry + 4, 7);
  testsupport::WriteFile(path, data);
  EXPECT_EQ(Open(path).status, OpeningStatus::Damaged);
  EXPECT_FALSE(std::filesystem::exists(dir / "temp" / "Band"));
}

TEST_F(Opening, HostileAlbumsStayInsideTheTemporaryFolder) {
  // Files beside and above the web folders that a careless opening would reach.
  testsupport::WriteText(dir / "temp" / "sentinel.txt", "keep");
  testsupport::WriteText(dir / "sentinel.txt", "keep");
  struct Case {
    const char* name;
    album::AlbumDetails details;
    std::string artistLevel, titleLevel;
  };
  const Case cases[] = {
      {"dot-dot artist", {"Title", "..", "2000", "", ""}, "_", "Title"},
      {"dot-dot title", {"..", "..", "2000", "", ""}, "_", "_"},
      {"empty artist", {"T", "", "2000", "", ""}, "_", "T"},
      {"separators", {"a/b:c\\d", "AC/DC", "2000", "", ""}, "AC DC", "a b c d"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto path =
        Album({{"one.mp3", testsupport::Mp3Stream(2), 1, "<script>alert(1)</script>"},
               {"one.txt", testsupport::BytesOf("<script>x()</script>\r\n<img src=x onerror=y>")},
               {"up.jpg", FakePicture(10, 10)}},
              c.details);
    // A stored picture name that climbs out of the folder.
    Bytes data = testsupport::ReadFile(path);
    const std::string stored = "up.jpg";
    const auto at = std::search(data.begin(), data.end(), stored.begin(), stored.end());
    ASSERT_NE(at, data.end());
    base::PutField(data, static_cast<std::size_t>(at - data.begin()), album::kFileNameWidth,
                   "../..\\../up.jpg");
    testsupport::WriteFile(path, data);
    const WebViewOpening opening = Open(path);
    ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
    const auto folder = Folder(c.artistLevel, c.titleLevel);
    EXPECT_EQ(opening.folder, testing::FolderText(folder));
    EXPECT_EQ(ReadText(dir / "temp" / "sentinel.txt"), "keep");
    EXPECT_EQ(ReadText(dir / "sentinel.txt"), "keep");
    for (const std::string& name : FileNames(folder)) {
      if (name == "view.js" || name.ends_with(".jpg")) continue;
      const std::string page = ReadText(folder / name);
      SCOPED_TRACE(name);
      EXPECT_EQ(page.find("<script>"), std::string::npos);
      EXPECT_EQ(page.find("<img src=x"), std::string::npos);
    }
  }
  EXPECT_EQ(FileNames(dir / "temp"), (std::vector<std::string>{WebRootLevel(), "sentinel.txt"}));
  EXPECT_EQ(FileNames(dir / "temp" / WebRootLevel()), (std::vector<std::string>{"AC DC", "_"}));
}

}  // namespace
}  // namespace webview
