#include <gtest/gtest.h>

#include "tests/webview/webviewtestutil.h"
#include "webview/pages.h"
#include "webview/viewscript.h"

namespace webview {
namespace {

using testing::Crlf;
using testing::FileNames;
using testing::Padded;
using testing::ReadText;
using testsupport::ScopedTempDir;

// Complete pages are compared with reviewed files under tests/data/pages; the tables below
// cover the rules that vary with the album (line ends, escaping, addresses).
std::string Expected(const std::string& name) {
  return ReadText(std::filesystem::path(LB_TEST_DATA) / "pages" / name);
}

// Three tracks: lyrics with CR LF and markup, none, LF-only without a last line end.
PageContent ThreeTracks() {
  PageContent content;
  content.details = {"Album", Padded("Band", 30), "2001"};
  content.songTitles = {Padded("One", 50), Padded("Two & <Three>", 50), Padded("Four", 50)};
  content.lyrics.present = true;
  content.lyrics.texts = {"One Title\r\nfirst line\r\nsecond <b>line</b>\r\n", "",
                          "Four head\nline a\n\nline b"};
  return content;
}

TEST(Pages, EveryPageMatchesItsReviewedFile) {
  const PageContent content = ThreeTracks();
  EXPECT_EQ(MainFramesetPage(), Expected("main.htm"));
  EXPECT_EQ(TrackFramesetPage(12), Expected("dynamic12.htm"));
  EXPECT_EQ(NoPicturesPage(), Expected("nopictures.htm"));
  EXPECT_EQ(LyricsIndexPage(content), Expected("lyrics.htm"));
  EXPECT_EQ(TrackLyricsPage(content, 0), Expected("lyrics1.htm"));
  EXPECT_EQ(TrackLyricsPage(content, 2), Expected("lyrics3.htm"));
}

TEST(Pages, SlideshowListsEveryPreview) {
#ifdef _WIN32
  const std::string folder = "C:\\Temp\\Band\\Best Of\\", suffix = "-windows";
#else
  const std::string folder = "/tmp/Band/Best Of & \"More\"/", suffix;
#endif
  EXPECT_EQ(SlideshowPage(folder, {"front.jpg", "back.gif", "x"}),
            Expected("slideshow" + suffix + ".htm"));
  EXPECT_EQ(SlideshowPage(folder, {"front.jpg"}), Expected("slideshow-one" + suffix + ".htm"));
}

TEST(Pages, LyricBlocksForEveryKindOfText) {
  struct Case {
    const char* name;
    bool present;
    std::string text;
    std::vector<std::string> block;  // between <H3> and </p>
  };
  const std::string title = Padded("Song", 50);
  const std::vector<Case> cases = {
      {"no lyrics block", false, "", {title + "<br>", "</H3>", "<p>", "No lyrics included.<br>"}},
      {"no line end", true, "Just one line", {"Just one line<br>", "</H3>", "<p>"}},
      {"CR LF with last line end",
       true,
       "T\r\na\r\nb\r\n",
       {"T<br>", "</H3>", "<p>", "a<br>", "b<br>"}},
      {"CR LF without last line end",
       true,
       "T\r\na\r\nb",
       {"T<br>", "</H3>", "<p>", "a<br>", "b<br>"}},
      {"LF only", true, "T\na\nb\n", {"T<br>", "</H3>", "<p>", "a<br>", "b<br>"}},
      {"CR only", true, "T\ra\rb", {"T<br>", "</H3>", "<p>", "a<br>", "b<br>"}},
      {"empty lines kept",
       true,
       "T\r\n\r\na\r\n\r\n",
       {"T<br>", "</H3>", "<p>", "<br>", "a<br>", "<br>"}},
      {"heading only", true, "T\r\n", {"T<br>", "</H3>", "<p>"}},
      {"Windows-1252 kept",
       true,
       "Caf\xE9\r\n\xABoui\xBB",
       {"Caf\xE9<br>", "</H3>", "<p>", "\xABoui\xBB<br>"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PageContent content;
    content.details = {"A", "B", "2000"};
    content.songTitles = {title};
    content.lyrics.present = c.present;
    if (c.present) content.lyrics.texts = {c.text};
    std::vector<std::string> block = {"<H3>"};
    block.insert(block.end(), c.block.begin(), c.block.end());
    block.push_back("</p>");
    // The block stands between the page's opening and its closing lines.
    const std::string page = TrackLyricsPage(content, 0);
    const std::size_t from = page.find("<BODY>\r\n") + 8;
    EXPECT_EQ(page.substr(from, page.size() - from), Crlf(block) + "</body>\r\n</html>\r\n");
  }
}

TEST(Pages, DetailsAreWrittenInWindows1252AndEscaped) {
  PageContent content;
  content.details = {"<i>Hits</i>", "Bj\xC3\xB6rk & \"Friends\"", "1997"};
  content.songTitles = {Padded("J\xC3\xB3ga", 50)};
  const std::string page = LyricsIndexPage(content);
  EXPECT_NE(page.find("<center><H3>Bj\xF6rk &amp; &quot;Friends&quot; - &lt;i&gt;Hits&lt;/i&gt; "
                      "(1997)</H3></center>"),
            std::string::npos);
  EXPECT_NE(page.find("> 1. J\xF3ga"), std::string::npos);
}

TEST(ViewScript, IsAsciiWithCrLfLinesAndAClosingEmptyLine) {
  const std::string file = ViewScriptFile();
  EXPECT_EQ(file, ViewScriptText() + "\r\n");
  ASSERT_GE(file.size(), 4u);
  EXPECT_EQ(file.substr(file.size() - 4), "\r\n\r\n");
  for (std::size_t i = 0; i < file.size(); ++i) {
    const auto b = static_cast<unsigned char>(file[i]);
    ASSERT_LT(b, 0x80) << "at " << i;
    if (file[i] == '\n') {
      ASSERT_TRUE(i > 0 && file[i - 1] == '\r') << "bare LF at " << i;
    }
    if (file[i] == '\r') {
      ASSERT_TRUE(i + 1 < file.size() && file[i + 1] == '\n') << "bare CR at " << i;
    }
  }
}

TEST(WriteWebView, WritesEveryPageInItsPlace) {
  ScopedTempDir dir;
  const std::string folder = testing::FolderText(dir.path());
  const auto data = dir / "data";
  std::filesystem::create_directory(data);
  testsupport::WriteText(data / "vrnprog2.gif", "GIF89a");

  const WebViewWriteResult result =
      WriteWebView(folder, ThreeTracks(), {}, base::Utf8FromPath(data), false);
  EXPECT_TRUE(result.ok()) << result.error;
  EXPECT_TRUE(result.warnings.empty());
  EXPECT_EQ(
      FileNames(dir.path()),
      (std::vector<std::string>{"MP3 - LyrabinderWeb.htm", "data", "dynamic1.htm", "dynamic2.htm",
                                "dynamic3.htm", "lyrics.htm", "lyrics1.htm", "lyrics2.htm",
                                "lyrics3.htm", "view.htm", "view.js", "vrnprog2.gif"}));
  EXPECT_EQ(ReadText(dir / "view.htm"), NoPicturesPage());
  EXPECT_EQ(ReadText(dir / "vrnprog2.gif"), "GIF89a");
  EXPECT_EQ(ReadText(dir / "dynamic2.htm"), TrackFramesetPage(2));
  EXPECT_EQ(ReadText(dir / "lyrics3.htm"), TrackLyricsPage(ThreeTracks(), 2));
  EXPECT_EQ(ReadText(dir / "view.js"), ViewScriptFile());
}

TEST(WriteWebView, KeepsAnExistingMainPageUnlessAskedToRewriteIt) {
  ScopedTempDir dir;
  const std::string folder = testing::FolderText(dir.path());
  testsupport::WriteText(dir / "MP3 - LyrabinderWeb.htm", "mine");
  EXPECT_TRUE(WriteWebView(folder, ThreeTracks(), {"a.jpg"}, "", false).ok());
  EXPECT_EQ(ReadText(dir / "MP3 - LyrabinderWeb.htm"), "mine");
  EXPECT_EQ(ReadText(dir / "view.htm"), SlideshowPage(folder, {"a.jpg"}));
  EXPECT_TRUE(WriteWebView(folder, ThreeTracks(), {"a.jpg"}, "", true).ok());
  EXPECT_EQ(ReadText(dir / "MP3 - LyrabinderWeb.htm"), MainFramesetPage());
}

TEST(WriteWebView, AMissingPictureFileIsOnlyAWarning) {
  ScopedTempDir dir;
  const WebViewWriteResult result = WriteWebView(testing::FolderText(dir.path()), ThreeTracks(), {},
                                                 base::Utf8FromPath(dir / "nowhere"));
  EXPECT_TRUE(result.ok());
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_NE(result.warnings[0].find("vrnprog2.gif"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir / "view.htm"));
}

TEST(WriteWebView, StopsAtAPageThatCannotBeWritten) {
  ScopedTempDir dir;
  // A folder in the place of a page cannot be replaced by the page.
  std::filesystem::create_directory(dir / "lyrics2.htm");
  const WebViewWriteResult result =
      WriteWebView(testing::FolderText(dir.path()), ThreeTracks(), {"a.jpg"}, "");
  EXPECT_FALSE(result.ok());
  EXPECT_NE(result.error.find("lyrics2.htm"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir / "dynamic1.htm"));
  EXPECT_FALSE(std::filesystem::exists(dir / "dynamic2.htm"));
  for (const std::string& name : FileNames(dir.path())) {
    EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  }
}

TEST(WriteWebView, AnEmptyFolderWritesNothing) {
  ScopedTempDir dir;
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const bool ok = WriteWebView("", ThreeTracks(), {}, "").ok();
  std::filesystem::current_path(before);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(FileNames(dir.path()).empty());
}

TEST(PreviewAddress, IsAFileAddressOfThePreview) {
#ifdef _WIN32
  EXPECT_EQ(PreviewAddress("C:\\T\\A b\\", "x.jpg", true), "file:///C:/T/A b/x.jpg");
  EXPECT_EQ(PreviewAddress("C:\\T\\A b\\", "x.jpg", false), "file:///C:\\T\\A b\\x.jpg");
#else
  EXPECT_EQ(PreviewAddress("/t/A b/", "caf\xC3\xA9 #1?.jpg", true),
            "file:///t/A%20b/caf%C3%A9%20%231%3F.jpg");
  EXPECT_EQ(PreviewAddress("/t/x~_-./", "a'b.jpg", false), "file:///t/x~_-./a%27b.jpg");
#endif
}

}  // namespace
}  // namespace webview
