#include "webview/pages.h"

#include <filesystem>
#include <system_error>

#include "base/codepage.h"
#include "base/fileio.h"
#include "webview/previews.h"
#include "webview/viewscript.h"

namespace webview {

namespace {

constexpr char kQ = '"';

std::string Quoted(std::string_view text) {
  return kQ + std::string(text) + kQ;
}

// A UTF-8 text of the album as it goes into a page.
std::string PageText(std::string_view utf8) {
  return HtmlEscape(base::ToAnsi(utf8));
}

std::vector<std::string> CommonOpening() {
  return {
      "<!DOCTYPE HTML PUBLIC " + Quoted("-//W3C//DTD HTML 4.0 Transitional//EN") + ">", "",
      "<META content=" + Quoted("text/html; charset=windows-1252") + " http-equiv=Content-Type>"};
}

std::string Frameset(std::string_view lyricsPage) {
  std::vector<std::string> lines = CommonOpening();
  lines.push_back("</HEAD><FRAMESET cols=50%,50%><FRAME ");
  lines.push_back("frameBorder=1 name=lyrics src=" + Quoted(lyricsPage) + "><FRAME ");
  lines.push_back("name=view ");
  lines.push_back("src=" + Quoted(kViewPageName) + "></FRAMESET></FRAMESET></HTML>");
  return JoinLines(lines);
}

std::vector<std::string> LyricsOpening(const DetailTexts& details) {
  std::vector<std::string> lines = CommonOpening();
  lines.push_back("<style type=" + Quoted("text/css") + ">");
  lines.push_back("body {background-color: black}");
  lines.push_back("h3 {color: blue}");
  lines.push_back("p {color: green}");
  lines.push_back("</style>");
  lines.push_back("<center><H3>" + PageText(details.artist) + " - " + PageText(details.albumTitle) +
                  " (" + PageText(details.year) + ")</H3></center>");
  lines.push_back("</HEAD>");
  lines.push_back("<BODY>");
  return lines;
}

void AddPageEnd(std::vector<std::string>& lines) {
  lines.push_back("</body>");
  lines.push_back("</html>");
}

void AddLyricBlock(std::vector<std::string>& lines, const PageContent& content, std::size_t track) {
  const std::string& title =
      track < content.songTitles.size() ? content.songTitles[track] : std::string();
  const std::string text =
      track < content.lyrics.texts.size() ? content.lyrics.texts[track] : std::string();
  const bool hasText = content.lyrics.present && !text.empty();
  const LyricParts parts = hasText ? SplitLyrics(text) : LyricParts{};
  lines.push_back("<H3>");
  lines.push_back((hasText ? HtmlEscape(parts.heading) : PageText(title)) + "<br>");
  lines.push_back("</H3>");
  lines.push_back("<p>");
  if (!content.lyrics.present) {
    lines.push_back("No lyrics included.<br>");
  } else if (!hasText) {
    lines.push_back("Instrumental or no lyrics included.<br>");
  } else {
    for (const std::string& line : parts.lines) lines.push_back(HtmlEscape(line) + "<br>");
  }
  lines.push_back("</p>");
}

// The track number as the index shows it: one blank in front.
std::string Spaced(std::size_t n) {
  return " " + std::to_string(n);
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error,
                   base::Replace replace) {
  auto file = base::AtomicFile::Create(base::PathFromUtf8(path), error);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                            text.size());
  if (file && !file->Sink().Write(bytes)) error = file->WriteError();
  if (file && error.empty() && file->Commit(error, replace)) return true;
  error = "cannot write " + path + (error.empty() ? "" : ": " + error);
  return false;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string PreviewAddress(std::string_view folder, std::string_view previewName,
                           bool forSlideList) {
  const std::string path = std::string(folder) + std::string(previewName);
#ifdef _WIN32
  std::string address = "file:///" + path;
  if (forSlideList) {
    for (char& c : address) {
      if (c == '\\') c = '/';
    }
  }
  return address;
#else
  (void)forSlideList;
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address = "file://";
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    const bool plain = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      address += c;
    } else {
      address += '%';
      address += kHex[b >> 4];
      address += kHex[b & 0x0F];
    }
  }
  return address;
#endif
}

std::string MainFramesetPage() {
  return Frameset(kLyricsPageName);
}

std::string TrackFramesetPage(int n) {
  return Frameset(TrackLyricsPageName(n));
}

std::string SlideshowPage(std::string_view folder, const std::vector<std::string>& pictureNames) {
  const auto address = [&](std::size_t i, bool forSlideList) {
    return PageText(PreviewAddress(folder, PreviewFileName(pictureNames.at(i)), forSlideList));
  };
  std::vector<std::string> lines = {
      "<HTML><HEAD><SCRIPT SRC=" + Quoted(kScriptName) +
          "></SCRIPT><SCRIPT LANGUAGE=" + Quoted("JavaScript1.1") + ">",
      "<!--",
      "SLIDES = new slideshow(" + Quoted("SLIDES") + ")",
  };
  for (std::size_t i = 0; i < pictureNames.size(); ++i) {
    lines.push_back("SLIDES.add_slide(new slide(" + Quoted(address(i, true)) + "))");
  }
  const std::vector<std::string> rest = {
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
      "</HEAD><BODY bgcolor=" + Quoted("#30b7bf") + "><FORM NAME=SLIDESFORM><CENTER>",
      "<IMG onClick=SLIDES.tomte() NAME=SLIDESIMG SRC=" + Quoted(address(0, false)) +
          " BORDER=0 ALT=" + Quoted("") + " >",
      "<SCRIPT LANGUAGE=" + Quoted("JavaScript1.1") + ">",
      "<!--",
      "if (SLIDES.slides.length - 1)",
      "{",
      "document.write(" +
          Quoted("<BR><INPUT TYPE=button VALUE=start onClick=SLIDES.next();SLIDES.play()>") + ");",
      "document.write(" + Quoted("<INPUT TYPE=button VALUE=stop onClick=SLIDES.pause()>") + ");",
      "document.write(" +
          Quoted("<INPUT TYPE=button VALUE=' &lt ' onClick=SLIDES.previous();SLIDES.pause()>") +
          ");",
      "document.write(" +
          Quoted("<INPUT TYPE=button VALUE=' &gt ' onClick=SLIDES.next();SLIDES.pause()></FORM>") +
          ");",
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
  lines.insert(lines.end(), rest.begin(), rest.end());
  return JoinLines(lines);
}

std::string NoPicturesPage() {
  std::vector<std::string> lines = CommonOpening();
  const std::vector<std::string> rest = {
      "<style type=" + Quoted("text/css") + ">",
      "body {background-color: black}",
      "h3 {color: blue}",
      "</style>",
      "</HEAD>",
      "<BODY>",
      "<center><H3>MP3 - Lyrabinder ~ No Graphics Included With Album.</H3></center>",
      "<p>",
      "<img src=" + Quoted(kNoPicturesImageName),
      "width=" + Quoted("160") + " height=" + Quoted("124") + ">",
      "</p>",
      "</body>",
      "</html>",
  };
  lines.insert(lines.end(), rest.begin(), rest.end());
  return JoinLines(lines);
}

std::string LyricsIndexPage(const PageContent& content) {
  std::vector<std::string> lines = LyricsOpening(content.details);
  lines.push_back("<a name=" + Quoted("index") + "></a>");
  const std::size_t count = content.songTitles.size();
  for (std::size_t i = 0; i < count; ++i) {
    lines.push_back("<a href=" + Quoted("#lyric" + Spaced(i + 1)) + ">" + Spaced(i + 1) + ". " +
                    PageText(content.songTitles[i]) + "</a><br>");
  }
  for (std::size_t i = 0; i < count; ++i) {
    lines.push_back("<a name=" + Quoted("lyric" + Spaced(i + 1)) + "></a>");
    AddLyricBlock(lines, content, i);
    lines.push_back("<a href=" + Quoted("#index") + ">Index</a><br>");
  }
  AddPageEnd(lines);
  return JoinLines(lines);
}

std::string TrackLyricsPage(const PageContent& content, std::size_t track) {
  std::vector<std::string> lines = LyricsOpening(content.details);
  AddLyricBlock(lines, content, track);
  AddPageEnd(lines);
  return JoinLines(lines);
}

WebViewWriteResult WriteWebView(WebFolder& folder, const PageContent& content,
                                const std::vector<std::string>& pictureNames,
                                std::string_view dataFolder, bool rewriteMainPage) {
  WebViewWriteResult result;
  const auto store = [&](std::string_view name, std::span<const std::uint8_t> bytes,
                         bool required) {
    std::string error;
    if (folder.WriteFile(name, bytes, error)) return true;
    if (required) {
      result.status = PageWriteStatus::WriteFailed;
      result.error = error;
    } else {
      result.warnings.push_back(error);
    }
    return !required;
  };
  const auto write = [&](std::string_view name, const std::string& text, bool required) {
    return store(name, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
                 required);
  };

  // A folder or link in the main page's place is no page: it is written (or the run fails).
  if ((rewriteMainPage || folder.Find(kMainPageName) != WebFolder::Entry::File) &&
      !write(kMainPageName, MainFramesetPage(), true)) {
    return result;
  }
  // The script and the slideshow page are written on past a failure, as the pages that
  // follow do not depend on them.
  write(kScriptName, ViewScriptFile(), false);
  if (pictureNames.empty()) {
    std::string error;
    const auto gif = std::string(kNoPicturesImageName);
    const auto source =
        base::FileSource::Open(base::PathFromUtf8(std::string(dataFolder)) / gif, error);
    std::vector<std::uint8_t> bytes(source ? static_cast<std::size_t>(source->Size()) : 0);
    if (source && source->ReadAt(0, bytes)) {
      store(gif, bytes, false);
    } else {
      result.warnings.push_back("cannot copy " + gif + (error.empty() ? "" : ": " + error));
    }
    write(kViewPageName, NoPicturesPage(), false);
  } else {
    write(kViewPageName, SlideshowPage(folder.Path(), pictureNames), false);
  }
  if (!write(kLyricsPageName, LyricsIndexPage(content), true)) return result;
  for (std::size_t i = 0; i < content.songTitles.size(); ++i) {
    const int n = static_cast<int>(i) + 1;
    if (!write(TrackLyricsPageName(n), TrackLyricsPage(content, i), true) ||
        !write(TrackPageName(n), TrackFramesetPage(n), true)) {
      return result;
    }
  }
  return result;
}

std::size_t WebViewFileCount(std::size_t tracks, std::size_t pictures) {
  // The main page, view.js, view.htm, lyrics.htm, and the previews or the no-pictures image.
  return 4 + 2 * tracks + (pictures == 0 ? 1 : pictures);
}

}  // namespace webview
