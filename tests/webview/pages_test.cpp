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

const std::vector<std::string> kOpening = {
    R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.0 Transitional//EN">)", "",
    R"(<META content="text/html; charset=windows-1252" http-equiv=Content-Type>)"};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::vector<std::string> LyricsOpening(const std::string& heading) {
  return Concat(kOpening, {R"(<style type="text/css">)", "body {background-color: black}",
                           "h3 {color: blue}", "p {color: green}", "</style>",
                           "<center><H3>" + heading + "</H3></center>", "</HEAD>", "<BODY>"});
}

const std::vector<std::string> kPageEnd = {"</body>", "</html>"};

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

TEST(Pages, FramesetsFollowTheTemplateToTheByte) {
  const std::vector<std::string> head = Concat(kOpening, {"</HEAD><FRAMESET cols=50%,50%><FRAME "});
  const std::string tail =
      "name=view \r\n"
      R"(src="view.htm"></FRAMESET></FRAMESET></HTML>)"
      "\r\n";
  EXPECT_EQ(MainFramesetPage(),
            Crlf(Concat(head, {R"(frameBorder=1 name=lyrics src="lyrics.htm"><FRAME )"})) + tail);
  EXPECT_EQ(TrackFramesetPage(12),
            Crlf(Concat(head, {R"(frameBorder=1 name=lyrics src="lyrics12.htm"><FRAME )"})) + tail);
}

TEST(Pages, NoPicturesPageFollowsTheTemplate) {
  EXPECT_EQ(NoPicturesPage(),
            Crlf(Concat(kOpening, {R"(<style type="text/css">)", "body {background-color: black}",
                                   "h3 {color: blue}", "</style>", "</HEAD>", "<BODY>",
                                   "<center><H3>MP3 - Lyrabinder ~ No Graphics Included With "
                                   "Album.</H3></center>",
                                   "<p>", R"(<img src="vrnprog2.gif")",
                                   R"(width="160" height="124">)", "</p>", "</body>", "</html>"})));
}

TEST(Pages, SlideshowPageListsEveryPreview) {
#ifdef _WIN32
  const std::string folder = "C:\\Temp\\Band\\Best Of\\";
  const std::string slide = "file:///C:/Temp/Band/Best Of/";
  const std::string first = "file:///C:\\Temp\\Band\\Best Of\\";
#else
  const std::string folder = "/tmp/Band/Best Of & \"More\"/";
  const std::string slide = "file:///tmp/Band/Best%20Of%20%26%20%22More%22/";
  const std::string first = slide;
#endif
  const std::string page = SlideshowPage(folder, {"front.jpg", "back.gif", "x"});
  const std::vector<std::string> expected = {
      R"(<HTML><HEAD><SCRIPT SRC="view.js"></SCRIPT><SCRIPT LANGUAGE="JavaScript1.1">)",
      "<!--",
      R"(SLIDES = new slideshow("SLIDES"))",
      R"(SLIDES.add_slide(new slide(")" + slide + R"(front.jpg")))",
      R"(SLIDES.add_slide(new slide(")" + slide + R"(back.jpg")))",
      R"(SLIDES.add_slide(new slide(")" + slide + R"(jpg")))",
      "//-->",
      "</SCRIPT>",
      "<STYLE>",
      "BODY{",
      "scrollbar-arrow-color: #ffffff;",
      "scrollbar-shadow-color:#777777;",
      "scrollbar-track-color: #000000;",
      "scrollbar-face-color:#000000;",
      "scrollbar-highlight-color:#cccccc;",
      "scrollbar-3dlight-color:#000000;",
      "scrollbar-darkshadow-color:#000000;",
      "margin-top: 5;",
      "margin-bottom: 3;",
      "margin-right: 3;",
      " margin-left: 3;",
      "}",
      "INPUT{",
      "background-color: #000000;",
      "color:#ffffff;",
      "border-top-color: #cccccc;",
      "border-left-color: #cccccc;",
      "border-bottom-color: #777777;",
      "border-right-color: #777777;",
      "}",
      "</STYLE>",
      R"(</HEAD><BODY bgcolor="#30b7bf"><FORM NAME=SLIDESFORM><CENTER>)",
      R"(<IMG onClick=SLIDES.tomte() NAME=SLIDESIMG SRC=")" + first +
          R"(front.jpg" BORDER=0 ALT="" >)",
      R"(<SCRIPT LANGUAGE="JavaScript1.1">)",
      "<!--",
      "if (SLIDES.slides.length - 1)",
      "{",
      R"(document.write("<BR><INPUT TYPE=button VALUE=start onClick=SLIDES.next();SLIDES.play()>");)",
      R"(document.write("<INPUT TYPE=button VALUE=stop onClick=SLIDES.pause()>");)",
      R"(document.write("<INPUT TYPE=button VALUE=' &lt ' onClick=SLIDES.previous();SLIDES.pause()>");)",
      R"(document.write("<INPUT TYPE=button VALUE=' &gt ' onClick=SLIDES.next();SLIDES.pause()></FORM>");)",
      "SLIDES.set_image (document.images.SLIDESIMG)",
      "SLIDES.tomte()",
      "SLIDES.play()",
      "}",
      "else",
      "{",
      "SLIDES.set_image (document.images.SLIDESIMG)",
      "SLIDES.tomte()",
      "}",
      "//-->",
      "</SCRIPT></CENTER></BODY></HTML>",
  };
  EXPECT_EQ(page, Crlf(expected));

  // One picture: one slide line, the rest unchanged.
  const std::string single = SlideshowPage(folder, {"front.jpg"});
  std::vector<std::string> one = expected;
  one.erase(one.begin() + 4, one.begin() + 6);
  EXPECT_EQ(single, Crlf(one));
}

TEST(Pages, LyricsIndexShowsHeadingsAndLinesOfEveryTrack) {
  const std::string index = LyricsIndexPage(ThreeTracks());
  const std::string band = Padded("Band", 30);
  const std::string two = "Two &amp; &lt;Three&gt;" + std::string(37, ' ');
  const std::vector<std::string> expected =
      Concat(LyricsOpening(band + " - Album (2001)"),
             Concat({R"(<a name="index"></a>)",
                     R"(<a href="#lyric 1"> 1. )" + Padded("One", 50) + "</a><br>",
                     R"(<a href="#lyric 2"> 2. )" + two + "</a><br>",
                     R"(<a href="#lyric 3"> 3. )" + Padded("Four", 50) + "</a><br>",
                     R"(<a name="lyric 1"></a>)",
                     "<H3>",
                     "One Title<br>",
                     "</H3>",
                     "<p>",
                     "first line<br>",
                     "second &lt;b&gt;line&lt;/b&gt;<br>",
                     "</p>",
                     R"(<a href="#index">Index</a><br>)",
                     R"(<a name="lyric 2"></a>)",
                     "<H3>",
                     two + "<br>",
                     "</H3>",
                     "<p>",
                     "Instrumental or no lyrics included.<br>",
                     "</p>",
                     R"(<a href="#index">Index</a><br>)",
                     R"(<a name="lyric 3"></a>)",
                     "<H3>",
                     "Four head<br>",
                     "</H3>",
                     "<p>",
                     "line a<br>",
                     "<br>",
                     "line b<br>",
                     "</p>",
                     R"(<a href="#index">Index</a><br>)"},
                    kPageEnd));
  EXPECT_EQ(index, Crlf(expected));
}

TEST(Pages, TrackLyricsPageHoldsOneBlock) {
  const PageContent content = ThreeTracks();
  const std::string heading = Padded("Band", 30) + " - Album (2001)";
  EXPECT_EQ(TrackLyricsPage(content, 0),
            Crlf(Concat(LyricsOpening(heading),
                        Concat({"<H3>", "One Title<br>", "</H3>", "<p>", "first line<br>",
                                "second &lt;b&gt;line&lt;/b&gt;<br>", "</p>"},
                               kPageEnd))));
  EXPECT_EQ(TrackLyricsPage(content, 2),
            Crlf(Concat(LyricsOpening(heading), Concat({"<H3>", "Four head<br>", "</H3>", "<p>",
                                                        "line a<br>", "<br>", "line b<br>", "</p>"},
                                                       kPageEnd))));
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
    EXPECT_EQ(TrackLyricsPage(content, 0),
              Crlf(Concat(LyricsOpening("B - A (2000)"), Concat(block, kPageEnd))));
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
      WriteWebView(folder, ThreeTracks(), {}, album::Utf8FromPath(data), false);
  EXPECT_TRUE(result.ok) << result.error;
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
  EXPECT_TRUE(WriteWebView(folder, ThreeTracks(), {"a.jpg"}, "", false).ok);
  EXPECT_EQ(ReadText(dir / "MP3 - LyrabinderWeb.htm"), "mine");
  EXPECT_EQ(ReadText(dir / "view.htm"), SlideshowPage(folder, {"a.jpg"}));
  EXPECT_TRUE(WriteWebView(folder, ThreeTracks(), {"a.jpg"}, "", true).ok);
  EXPECT_EQ(ReadText(dir / "MP3 - LyrabinderWeb.htm"), MainFramesetPage());
}

TEST(WriteWebView, AMissingPictureFileIsOnlyAWarning) {
  ScopedTempDir dir;
  const WebViewWriteResult result = WriteWebView(testing::FolderText(dir.path()), ThreeTracks(), {},
                                                 album::Utf8FromPath(dir / "nowhere"));
  EXPECT_TRUE(result.ok);
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
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.error.find("lyrics2.htm"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir / "dynamic1.htm"));
  EXPECT_FALSE(std::filesystem::exists(dir / "dynamic2.htm"));
  for (const std::string& name : FileNames(dir.path())) {
    EXPECT_EQ(name.find(".part"), std::string::npos) << name;
  }
}

TEST(WriteWebView, AnEmptyFolderWritesNothing) {
  EXPECT_TRUE(WriteWebView("", ThreeTracks(), {}, "").ok);
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
