// The generated pages and view.js in a real browser engine: headless Chromium loads a test
// page that frames the web view, drives the slideshow and writes what it found into the DOM.

#include <gtest/gtest.h>

#include "tests/webview/qtpicturetestutil.h"
#include "tests/webview/webviewtestutil.h"
#include "webview/pages.h"
#include "webview/webfolder.h"

namespace webview {
namespace {

using testing::Encode;
using testing::TwoColours;
using testsupport::Quote;
using testsupport::ScopedTempDir;

// Checks run inside the browser once every frame has loaded; each writes PASS or FAIL.
constexpr const char* kHarness = R"(<!DOCTYPE html>
<html><head><meta charset="utf-8"></head><body>
<iframe id="view" src="@VIEW@" width="400" height="300"></iframe>
<iframe id="main" src="@MAIN@" width="800" height="400"></iframe>
<iframe id="track" src="@TRACK@" width="800" height="400"></iframe>
<pre id="result">PENDING</pre>
<script>
var lines = [];
function check(name, ok, detail) { lines.push((ok ? "PASS " : "FAIL ") + name + (ok ? "" : " " + detail)); }
function ends(src, name) { return src.slice(-name.length) == name; }
// The slide shown fills the room the page leaves it, in its own proportions.
function checkFit(name, win, show) {
  var img = win.document.images.SLIDESIMG, body = win.document.body;
  var pic = show.slides[show.current].image;
  var maxWidth = body.clientWidth - 43;
  var maxHeight = body.clientHeight - 38 - (show.slides.length > 1 ? 24 : 0);
  var ratio = (img.width / img.height) / (pic.naturalWidth / pic.naturalHeight);
  var detail = img.width + "x" + img.height + " in " + body.clientWidth + "x" + body.clientHeight;
  check(name, img.width <= maxWidth && img.height <= maxHeight &&
        (img.width == maxWidth || img.height == maxHeight) && Math.abs(ratio - 1) < 0.02, detail);
}
window.onload = function () {
  var win = document.getElementById("view").contentWindow;
  var show = win.SLIDES;
  check("three slides", show && show.slides.length == 3, show && show.slides.length);
  check("playing", show.timer != null, show.timer);
  check("interval", show.timeout == 4500, show.timeout);
  check("buttons", win.document.getElementsByTagName("INPUT").length == 4, "");
  checkFit("first slide scaled", win, show);
  var main = document.getElementById("main").contentWindow;
  check("main frameset", main.frames.length == 2 && main.frames[1].SLIDES &&
        main.frames[0].document.getElementsByTagName("H3").length > 1, main.frames.length);
  var track = document.getElementById("track").contentWindow;
  check("track frameset", track.frames.length == 2 &&
        track.frames[0].document.body.innerHTML.indexOf("Second words") >= 0, "");
  window.setTimeout(function () {
    check("advanced after the interval", show.current == 1, show.current);
    show.pause();
    show.current = 2;
    show.next();
    check("next wraps", show.current == 0 && ends(win.document.images.SLIDESIMG.src, "wide.jpg"),
          show.current + " " + win.document.images.SLIDESIMG.src);
    show.previous();
    check("previous wraps", show.current == 2 && ends(win.document.images.SLIDESIMG.src, "square.jpg"),
          show.current);
    window.setTimeout(function () {
      checkFit("square slide scaled", win, show);
      show.previous();
      window.setTimeout(function () {
        checkFit("tall slide scaled", win, show);
        check("paused", show.timer == null, show.timer);
        document.getElementById("result").textContent = lines.join("\n") + "\nDONE";
      }, 500);
    }, 500);
  }, 4700);
};
</script></body></html>
)";

void Replace(std::string& text, const std::string& what, const std::string& with) {
  text.replace(text.find(what), what.size(), with);
}

TEST(Browser, SlideshowAndFramesetsRunInChromium) {
  ASSERT_TRUE(testsupport::Peer("chromium", "chromium"));
  ScopedTempDir dir;
  const auto albumPath = dir / "Pictures_LB.MP3";
  const album::WriteResult written = album::testing::MakeAlbum(
      dir,
      {{"one.mp3", testsupport::Mp3Stream(3), 1, "First"},
       {"one.txt", testsupport::BytesOf("First\r\nFirst words\r\n")},
       {"two.mp3", testsupport::Mp3Stream(3), 1, "Second"},
       {"two.txt", testsupport::BytesOf("Second\r\nSecond words\r\n")},
       {"wide.jpg", Encode(TwoColours(500, 250, Qt::red, Qt::red), "JPEG")},
       {"tall.gif", Encode(TwoColours(200, 400, Qt::green, Qt::green), "JPEG")},
       {"square.jpg", Encode(TwoColours(300, 300, Qt::blue, Qt::blue), "JPEG")}},
      albumPath, {"Pictures & More", "Browser Band", "2024", "", ""});
  ASSERT_TRUE(written.ok()) << written.error;

  // Opened as the command line opens it; a warning would follow the folder it prints.
  std::filesystem::create_directory(dir / "temp");
  const std::string folder =
      testing::FolderText(dir / "temp" / WebRootLevel() / "Browser Band" / "Pictures & More");
  std::string output;
  const int opened = testsupport::RunCommand(
      "TMPDIR=" + Quote(dir / "temp") + " " LB_CLI " web " + Quote(albumPath) + " 2>&1", &output);
  ASSERT_EQ(output, folder + "\n");
  ASSERT_EQ(opened, 0);

  std::string harness = kHarness;
  Replace(harness, "@VIEW@", PreviewAddress(folder, "view.htm", true));
  Replace(harness, "@MAIN@", PreviewAddress(folder, "MP3 - LyrabinderWeb.htm", true));
  Replace(harness, "@TRACK@", PreviewAddress(folder, "dynamic2.htm", true));
  const auto page = dir / "harness.htm";
  testsupport::WriteText(page, harness);

  const auto errors = dir / "console.txt";
  std::string dom;
  const int status = testsupport::RunCommand(
      "(chromium --headless --no-sandbox --disable-gpu --no-first-run --user-data-dir=" +
          Quote(dir / "profile") +
          " --allow-file-access-from-files --enable-logging=stderr --v=0"
          " --virtual-time-budget=30000 --dump-dom " +
          Quote("file://" + page.string()) + " 2>" + Quote(errors) + ")",
      &dom);
  const std::string console = testing::ReadText(errors);
  ASSERT_EQ(status, 0) << console;
  const auto begin = dom.find("<pre id=\"result\">");
  ASSERT_NE(begin, std::string::npos) << dom;
  const std::string result = dom.substr(begin, dom.find("</pre>", begin) - begin);
  EXPECT_NE(result.find("DONE"), std::string::npos) << result;
  EXPECT_EQ(result.find("FAIL"), std::string::npos) << result;
  EXPECT_EQ(result.find("PASS"), result.find("PASS three slides")) << result;
  // Script errors of any frame reach the browser's log.
  for (const char* sign : {"Uncaught", "ReferenceError", "TypeError", "SyntaxError"}) {
    EXPECT_EQ(console.find(sign), std::string::npos) << console;
  }
}

}  // namespace
}  // namespace webview
