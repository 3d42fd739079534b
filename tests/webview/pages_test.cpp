#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "tests/webview/webviewtestutil.h"
#include "webview/lyrics.h"
#include "webview/pages.h"
#include "webview/viewscript.h"

namespace webview {
namespace {

using testing::Crlf;
using testing::FileNames;
using ::testing::HasSubstr;
using ::testing::Not;
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
  return {
      {"Album", Padded("Band", 30), "2001"},
      {Padded("One", 50), Padded("Two & <Three>", 50), Padded("Four", 50)},
      {true,
       {"One Title\r\nfirst line\r\nsecond <b>line</b>\r\n", "", "Four head\nline a\n\nline b"}}};
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

// Each text splits into heading and lines, and the page shows them as one block.
TEST(Pages, LyricBlocksForEveryKindOfText) {
  struct Case {
    std::string text;
    std::string heading;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", "", {}},
      {"Just one line", "Just one line", {}},
      {"T\r\n", "T", {}},
      {"T\r\na\r\nb\r\n", "T", {"a", "b"}},
      {"T\r\na\r\nb", "T", {"a", "b"}},
      {"T\na\nb\n", "T", {"a", "b"}},
      {"T\na\nb", "T", {"a", "b"}},
      {"T\ra\rb\r", "T", {"a", "b"}},
      {"T\ra\rb", "T", {"a", "b"}},
      {"T\r\n\r\na", "T", {"", "a"}},
      {"T\r\n\r\na\r\n\r\n", "T", {"", "a", ""}},
      {"T\n\r\n", "T", {""}},
      {"\r\nbody", "", {"body"}},
      {"Caf\xE9\r\n\xABoui\xBB", "Caf\xE9", {"\xABoui\xBB"}},  // Windows-1252 kept
  };
  const std::string title = Padded("Song", 50);
  // The block stands between the page's opening and its closing lines.
  const auto block = [&](bool present, const std::string& text) {
    const std::string page = TrackLyricsPage({{"A", "B", "2000"}, {title}, {present, {text}}}, 0);
    return page.substr(page.find("<BODY>\r\n") + 8);
  };
  const auto expected = [](const std::string& heading, const std::vector<std::string>& lines) {
    std::vector<std::string> all = {"<H3>", heading + "<br>", "</H3>", "<p>"};
    for (const std::string& line : lines) all.push_back(line + "<br>");
    all.insert(all.end(), {"</p>", "</body>", "</html>"});
    return Crlf(all);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const LyricParts parts = SplitLyrics(c.text);
    EXPECT_EQ(parts.heading, c.heading);
    EXPECT_EQ(parts.lines, c.lines);
    EXPECT_EQ(block(true, c.text), c.text.empty()
                                       ? expected(title, {"Instrumental or no lyrics included."})
                                       : expected(c.heading, c.lines));
  }
  EXPECT_EQ(block(false, ""), expected(title, {"No lyrics included."}));
}

TEST(Pages, DetailsAreWrittenInWindows1252AndEscaped) {
  const std::string page = LyricsIndexPage(
      {{"<i>Hits</i>", "Bj\xC3\xB6rk & \"Friends\"", "1997"}, {Padded("J\xC3\xB3ga", 50)}, {}});
  EXPECT_THAT(page,
              HasSubstr("<center><H3>Bj\xF6rk &amp; &quot;Friends&quot; - &lt;i&gt;Hits&lt;/i&gt; "
                        "(1997)</H3></center>"));
  EXPECT_THAT(page, HasSubstr("> 1. J\xF3ga"));
}

TEST(ViewScript, IsAsciiWithCrLfLinesAndAClosingEmptyLine) {
  const std::string file = ViewScriptFile();
  EXPECT_EQ(file, ViewScriptText() + "\r\n");
  EXPECT_TRUE(file.ends_with("\r\n\r\n"));
  EXPECT_TRUE(std::ranges::all_of(file, [](unsigned char b) { return b < 0x80; }));
  // Once every CR LF is taken out, no CR or LF is left.
  EXPECT_EQ(std::regex_replace(file, std::regex("\r\n"), "").find_first_of("\r\n"),
            std::string::npos);
}

// A web folder of its own for each test.
class WebViewWriting : public ::testing::Test {
 protected:
  WebViewWriteResult Write(const std::vector<std::string>& pictures, std::string_view data = "",
                           bool rewriteMainPage = false) {
    std::string error;
    const auto opened = WebFolder::OpenExisting(folder, error);
    EXPECT_TRUE(opened) << error;
    if (!opened) return {PageWriteStatus::WriteFailed, error, {}};
    return WriteWebView(*opened, ThreeTracks(), pictures, data, rewriteMainPage);
  }

  ScopedTempDir dir;
  const std::string folder = testing::FolderText(dir.path());
};

TEST_F(WebViewWriting, KeepsAnExistingMainPageUnlessAskedToRewriteIt) {
  testsupport::WriteText(dir / "MP3 - LyrabinderWeb.htm", "mine");
  EXPECT_TRUE(Write({"a.jpg"}).ok());
  EXPECT_EQ(ReadText(dir / "MP3 - LyrabinderWeb.htm"), "mine");
  EXPECT_EQ(ReadText(dir / "view.htm"), SlideshowPage(folder, {"a.jpg"}));
  EXPECT_TRUE(Write({"a.jpg"}, "", true).ok());
  EXPECT_EQ(ReadText(dir / "MP3 - LyrabinderWeb.htm"), MainFramesetPage());
}

TEST_F(WebViewWriting, AMissingPictureFileIsOnlyAWarning) {
  const WebViewWriteResult result = Write({}, base::Utf8FromPath(dir / "nowhere"));
  EXPECT_TRUE(result.ok());
  ASSERT_EQ(result.warnings.size(), 1u);
  EXPECT_THAT(result.warnings[0], HasSubstr("vrnprog2.gif"));
  EXPECT_TRUE(std::filesystem::exists(dir / "view.htm"));
}

TEST_F(WebViewWriting, StopsAtAPageThatCannotBeWritten) {
  // A folder in the place of a page cannot be replaced by the page.
  std::filesystem::create_directory(dir / "lyrics2.htm");
  const WebViewWriteResult result = Write({"a.jpg"});
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(result.error, HasSubstr("lyrics2.htm"));
  EXPECT_TRUE(std::filesystem::exists(dir / "dynamic1.htm"));
  EXPECT_FALSE(std::filesystem::exists(dir / "dynamic2.htm"));
  for (const std::string& name : FileNames(dir.path())) EXPECT_THAT(name, Not(HasSubstr(".tmp")));
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
