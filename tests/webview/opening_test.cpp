#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "base/bytes.h"
#include "base/text.h"
#include "tests/webview/webviewtestutil.h"
#include "webview/opening.h"
#include "webview/pages.h"
#include "webview/viewscript.h"

namespace webview {
namespace {

using album::testing::Source;
using testing::FakePicture;
using testing::FakePictureService;
using testing::FileNames;
using ::testing::HasSubstr;
using ::testing::Not;
using testing::ReadText;
using testsupport::Bytes;
using testsupport::BytesOf;
using testsupport::Mp3Stream;
using testsupport::ScopedTempDir;
using Names = std::vector<std::string>;

#ifdef _WIN32
constexpr bool kPreviewsMarked = false;
#else
constexpr bool kPreviewsMarked = true;
#endif

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
    const album::WriteResult result = album::testing::MakeAlbum(dir, sources, path, details);
    EXPECT_TRUE(result.ok()) << result.error;
    return path;
  }

  WebViewOpening Open(const std::filesystem::path& album, const album::TagWriter& writeBack = {}) {
    std::string error;
    auto source = base::FileSource::Open(album, error);
    EXPECT_TRUE(source) << error;
    album::AlbumReader reader(*source);
    return OpenWebView(*source, reader, writeBack, pictures, options);
  }

  std::filesystem::path Folder(std::string_view artist = "Band",
                               std::string_view title = "Best Of") {
    return dir / "temp" / WebRootLevel() / base::PathFromUtf8(artist) / base::PathFromUtf8(title);
  }
  std::string Page(std::string_view name) { return ReadText(Folder() / name); }

  ScopedTempDir dir;
  const std::filesystem::path path = dir / "Best_LB.MP3";
  const Source one = {"one.mp3", Mp3Stream(2), 1, "One"};
  FakePictureService pictures;
  OpeningOptions options;
};

TEST_F(Opening, WritesPagesAndPreviewsOfAnAlbumWithEverythingInOrder) {
  Album({{"one.mp3", Mp3Stream(3), 1, "One"},
         {"one.txt", BytesOf("Title line\r\nWords\r\n")},
         {"two.mp3", Mp3Stream(2), 1, "Two"},
         {"front.jpg", FakePicture(500, 250)},
         {"back.gif", FakePicture(200, 100)}});
  const Bytes before = testsupport::ReadFile(path);
  Names calls;
  options.beforeRegeneration = [&] { calls.push_back("regenerate"); };
  options.beforePreviews = [&] { calls.push_back("previews"); };
  options.afterPicture = [&](int done, int total) {
    calls.push_back(std::to_string(done) + "/" + std::to_string(total));
    return true;
  };
  options.beforePages = [&] {
    calls.push_back(std::filesystem::exists(Folder() / "back.jpg") &&
                            !std::filesystem::exists(Folder() / "view.htm")
                        ? "pages"
                        : "pages too late");
  };
  options.rewriteMainPage = true;
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
  // The hooks run in the order of the sequence.
  EXPECT_EQ(calls, (Names{"regenerate", "previews", "1/2", "2/2", "pages"}));
  EXPECT_TRUE(opening.tagAnsweredYes);
  EXPECT_TRUE(opening.regenerated);
  EXPECT_TRUE(opening.warnings.empty());
  EXPECT_EQ(opening.folder, testing::FolderText(Folder()));
  EXPECT_EQ(opening.pictureNames, (Names{"front.jpg", "back.gif"}));
  EXPECT_EQ(FileNames(Folder()), (Names{"MP3 - LyrabinderWeb.htm", "back.jpg", "dynamic1.htm",
                                        "dynamic2.htm", "front.jpg", "lyrics.htm", "lyrics1.htm",
                                        "lyrics2.htm", "view.htm", "view.js"}));
  EXPECT_EQ(Page("front.jpg"), "JPEG 250x125");
  EXPECT_EQ(Page("back.jpg"), "JPEG 200x100");
  EXPECT_EQ(Page("view.htm"), SlideshowPage(opening.folder, {"front.jpg", "back.gif"}));
  EXPECT_EQ(Page("view.js"), ViewScriptFile());
  EXPECT_EQ(Page("dynamic2.htm"), TrackFramesetPage(2));
  const std::string lyrics = Page("lyrics1.htm");
  EXPECT_THAT(lyrics, HasSubstr("<H3>\r\nTitle line<br>\r\n</H3>\r\n<p>\r\nWords<br>\r\n</p>"));
  // The details as the boxes hold them: the artist with its padding.
  EXPECT_THAT(lyrics, HasSubstr("<center><H3>Band" + std::string(26, ' ') + " - Best Of (2001)"));
  EXPECT_THAT(Page("lyrics2.htm"), HasSubstr("Instrumental or no lyrics included."));
  // An empty tag writer leaves the album as it was.
  EXPECT_EQ(testsupport::ReadFile(path), before);
}

TEST_F(Opening, AlbumWithoutPicturesOrLyricsGetsTheNoPicturesPage) {
  // The opened mark goes through the given writer.
  const WebViewOpening opening = Open(Album({one}), album::FileTagWriter(path));
  ASSERT_EQ(opening.status, OpeningStatus::Ok);
  EXPECT_TRUE(opening.warnings.empty());
  const Bytes data = testsupport::ReadFile(path);
  EXPECT_EQ(data[data.size() - 2], album::kOpenedTrackByte);
  EXPECT_EQ(Page("view.htm"), NoPicturesPage());
  EXPECT_EQ(Page("vrnprog2.gif"), "GIF89a-test");
  EXPECT_THAT(Page("lyrics1.htm"), HasSubstr("<H3>\r\nOne" + std::string(47, ' ') +
                                             "<br>\r\n</H3>\r\n<p>\r\nNo lyrics included.<br>"
                                             "\r\n</p>"));
  EXPECT_TRUE(pictures.fitted.empty());
}

TEST_F(Opening, JoinsLyricsOfOneTrackAndSharesPreviewsOfOneBaseName) {
  // Lyrics belong to the first track of the file name before them.
  Album({{"a/one.mp3", Mp3Stream(2), 1, "One"},
         {"a/first.txt", BytesOf("Head\r\nfirst\r\n")},
         {"b/one.mp3", Mp3Stream(2), 1, "Again"},
         {"b/second.txt", BytesOf("second\r\n")},
         {"x/cover.gif", FakePicture(500, 500)},
         {"y/cover.jpg", FakePicture(100, 100)},
         {"broken.jpg", BytesOf("not a picture")}});
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok);
  EXPECT_THAT(Page("lyrics1.htm"), HasSubstr("<p>\r\nfirst<br>\r\nsecond<br>\r\n</p>"));
  EXPECT_THAT(Page("lyrics2.htm"), HasSubstr("Instrumental or no lyrics included."));
  // The second cover's preview is not made again.
  EXPECT_EQ(pictures.fitted, (std::vector<PictureSize>{{250, 250}}));
  EXPECT_EQ(Page("cover.jpg"), "JPEG 250x250");
  const std::string slide = "SLIDES.add_slide(new slide(\"" +
                            PreviewAddress(opening.folder, "cover.jpg", true) + "\"))\r\n";
  EXPECT_THAT(Page("view.htm"), HasSubstr(slide + slide));
  // A picture without preview is a warning.
  ASSERT_EQ(opening.warnings.size(), 1u);
  EXPECT_THAT(opening.warnings[0], HasSubstr("broken.jpg"));
  EXPECT_EQ(opening.pictureNames, (Names{"cover.gif", "cover.jpg", "broken.jpg"}));
  EXPECT_FALSE(std::filesystem::exists(Folder() / "broken.jpg"));
}

TEST_F(Opening, APreviewThatCannotBeMadeCostsOnlyThatPicture) {
  Album({one,
         {"long.gif", FakePicture(10, 10)},
         {"blocked.jpg", FakePicture(10, 10)},
         {"fine.jpg", FakePicture(20, 20)}});
  // A stored name of 250 "é": 504 bytes in UTF-8, more than a file system takes.
  Bytes data = testsupport::ReadFile(path);
  const std::string stored = "long.gif";
  const auto at = std::search(data.begin(), data.end(), stored.begin(), stored.end());
  ASSERT_NE(at, data.end());
  std::string accents;
  for (int i = 0; i < 250; ++i) accents += "\xC3\xA9";
  base::PutField(data, static_cast<std::size_t>(at - data.begin()), album::kFileNameWidth,
                 accents + ".gif");
  testsupport::WriteFile(path, data);
  // A folder where a preview would go.
  std::filesystem::create_directories(Folder() / "blocked.jpg");
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
  ASSERT_EQ(opening.warnings.size(), 1u);
  EXPECT_THAT(opening.warnings[0], HasSubstr("no preview of blocked.jpg"));
  const std::string shortened = accents.substr(0, 250) + ".jpg";
  EXPECT_EQ(ReadText(Folder() / base::PathFromUtf8(shortened)), "JPEG 10x10");
  EXPECT_EQ(Page("fine.jpg"), "JPEG 20x20");
  EXPECT_EQ(Page("view.htm"), SlideshowPage(opening.folder, opening.pictureNames));
}

TEST_F(Opening, MemoryPassedOnBetweenPicturesNeverMixesThem) {
  // More pictures than are read ahead, their sizes going up and down.
  std::vector<Source> sources{one};
  for (int i = 0; i < 9; ++i) {
    Bytes picture = FakePicture(300 + i, 100);
    picture.resize(picture.size() + static_cast<std::size_t>(i % 3) * 4000, ' ');
    sources.push_back({"p" + std::to_string(i) + ".jpg", picture});
  }
  ASSERT_EQ(Open(Album(sources)).status, OpeningStatus::Ok);
  for (int i = 0; i < 9; ++i) {
    const PictureSize fitted = FitPreview({300 + i, 100});
    EXPECT_EQ(Page("p" + std::to_string(i) + ".jpg"),
              "JPEG " + std::to_string(fitted.width) + "x" + std::to_string(fitted.height));
  }
}

#ifndef _WIN32
TEST_F(Opening, ALevelSwappedForALinkAfterTheCheckChangesNothing) {
  Album({one, {"photo.jpg", FakePicture(10, 10)}});
  // A folder of the user's own, shaped like a web folder.
  const auto victim = dir / "victim";
  const auto title = victim / "Band" / "Best Of";
  std::filesystem::create_directories(title);
  for (const char* name : {"photo1.jpg", "dynamic1.htm"}) testsupport::WriteText(title / name, "");
  const auto mode = std::filesystem::status(title).permissions();
  const auto root = dir / "temp" / WebRootLevel();
  options.beforeRegeneration = [&] {
    std::filesystem::rename(root, dir / "temp" / "moved");
    std::filesystem::create_directory_symlink(victim, root);
  };
  const WebViewOpening opening = Open(path);
  ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
  EXPECT_EQ(FileNames(title), (Names{"dynamic1.htm", "photo1.jpg"}));
  EXPECT_EQ(std::filesystem::status(title).permissions(), mode);
  // The view went into the folder that was checked.
  EXPECT_EQ(ReadText(dir / "temp" / "moved" / "Band" / "Best Of" / "photo.jpg"), "JPEG 10x10");
}

TEST_F(Opening, ARunHoldsItsFolderAgainstOtherRunsWhileItWrites) {
  Album({one});
  std::vector<bool> held;
  const auto tryLock = [&] {
    const int fd = ::open(Folder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    held.push_back(::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK);
    ::close(fd);
  };
  options.beforeRegeneration = tryLock;
  options.beforePages = tryLock;
  ASSERT_EQ(Open(path).status, OpeningStatus::Ok);
  tryLock();
  EXPECT_EQ(held, (std::vector<bool>{true, true, false}));
}
#endif

TEST_F(Opening, RegeneratesOnlyWhenTheTagAsksOrTheScriptIsMissing) {
  ASSERT_EQ(Open(Album({one})).status, OpeningStatus::Ok);
  const auto folder = Folder();
  // A page of an earlier album of that name; other files are not the view's to delete.
  testsupport::WriteText(folder / "dynamic9.htm", "old");
  testsupport::WriteText(folder / "notes.txt", "keep");
  testsupport::WriteText(folder / "MP3 - LyrabinderWeb.htm", "old main");

  // Genre 255: every opening starts from an empty folder.
  WebViewOpening opening = Open(path);
  EXPECT_TRUE(opening.regenerated);
  EXPECT_FALSE(std::filesystem::exists(folder / "dynamic9.htm"));
  EXPECT_EQ(Page("MP3 - LyrabinderWeb.htm"), MainFramesetPage());

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
  EXPECT_EQ(Page("notes.txt"), "keep");
}

TEST_F(Opening, KeepsOnlyPreviewsMadeFromTheSameUnchangedAlbum) {
  const Source front = {"front.jpg", FakePicture(500, 250)};
  const Source back = {"back.gif", FakePicture(200, 100)};
  const std::filesystem::path other = dir / "Other_LB.MP3";
  struct Case {
    const char* what;
    std::function<std::filesystem::path()> change;  // the album opened next
    std::size_t remade;                             // previews made at that opening
    const char* front;
  };
  const Case cases[] = {
      // Windows keeps no mark beside a file: there every regeneration makes them anew.
      {"reopened as it is", [&] { return path; }, kPreviewsMarked ? 0u : 2u, "JPEG 250x125"},
      {"made again with another front picture",
       [&] {
         return Album({one, {"front.jpg", FakePicture(400, 400)}, back});
       },
       2, "JPEG 250x250"},
      {"another album of the same name",
       [&] {
         EXPECT_TRUE(album::testing::MakeAlbum(dir, {one, front, back}, other,
                                               {"Best Of", "Band", "2001", "", ""})
                         .ok());
         return other;
       },
       2, "JPEG 250x125"},
      {"a preview put there by another program",
       [&] {
         testsupport::WriteText(Folder() / "front.jpg", "JPEG 1x1");
         return path;
       },
       kPreviewsMarked ? 1u : 2u, "JPEG 250x125"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(Open(Album({one, front, back}), album::FileTagWriter(path)).status,
              OpeningStatus::Ok);
    pictures.fitted.clear();
    const std::filesystem::path next = c.change();
    const WebViewOpening opening = Open(next, album::FileTagWriter(next));
    ASSERT_EQ(opening.status, OpeningStatus::Ok) << opening.error;
    EXPECT_TRUE(opening.regenerated);
    EXPECT_EQ(pictures.fitted.size(), c.remade);
    // Whichever way, the preview is the one of the album opened.
    EXPECT_EQ(Page("front.jpg"), c.front);
  }
}

TEST_F(Opening, RefusesFilesThatAreNoAlbumsOrAreDamaged) {
  testsupport::WriteFile(dir / "plain.mp3", Mp3Stream(20));
  EXPECT_EQ(Open(dir / "plain.mp3").status, OpeningStatus::NotAlbum);

  // A lyrics entry for a track the directory does not have.
  Bytes data = testsupport::ReadFile(Album({one, {"one.txt", BytesOf("words")}}));
  const std::size_t lyricsEntry =
      data.size() - album::kTailSize - album::kTrackEntrySize - (album::kLyricsHeaderSize + 5);
  base::PutLE16(data, lyricsEntry + 4, 7);
  testsupport::WriteFile(path, data);
  EXPECT_EQ(Open(path).status, OpeningStatus::Damaged);
  EXPECT_FALSE(std::filesystem::exists(Folder()));
}

TEST_F(Opening, HostileAlbumsStayInsideTheTemporaryFolder) {
  // Files beside and above the web folders that a careless opening would reach.
  testsupport::WriteText(dir / "temp" / "sentinel.txt", "keep");
  testsupport::WriteText(dir / "sentinel.txt", "keep");
  // Both levels made safe (the level rules themselves: WebFolderLevel).
  Album({{"one.mp3", Mp3Stream(2), 1, "<script>alert(1)</script>"},
         {"one.txt", BytesOf("<script>x()</script>\r\n<img src=x onerror=y>")},
         {"up.jpg", FakePicture(10, 10)}},
        {"a/b:c\\d", "..", "2000", "", ""});
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
  const auto folder = Folder("_", "a b c d");
  EXPECT_EQ(opening.folder, testing::FolderText(folder));
  EXPECT_EQ(ReadText(dir / "temp" / "sentinel.txt"), "keep");
  EXPECT_EQ(ReadText(dir / "sentinel.txt"), "keep");
  for (const std::string& name : FileNames(folder)) {
    if (name == "view.js" || name.ends_with(".jpg")) continue;
    SCOPED_TRACE(name);
    EXPECT_THAT(ReadText(folder / name), Not(HasSubstr("<script>")));
    EXPECT_THAT(ReadText(folder / name), Not(HasSubstr("<img src=x")));
  }
  EXPECT_EQ(FileNames(dir / "temp"), (Names{WebRootLevel(), "sentinel.txt"}));
  EXPECT_EQ(FileNames(dir / "temp" / WebRootLevel()), (Names{"_"}));
}

}  // namespace
}  // namespace webview
