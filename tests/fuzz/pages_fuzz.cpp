// The web pages of a hostile album: any details, song titles, lyrics and picture names. Every
// page must lex as the template's own markup: each tag one the template writes, attribute
// values in quotes, and text with no markup character or unfinished reference in it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "webview/pages.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// "&" starts only the references HtmlEscape writes.
void CheckText(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    Check(text[i] != '>' && text[i] != '"');
    if (text[i] != '&') continue;
    const std::string_view rest = text.substr(i);
    Check(rest.starts_with("&amp;") || rest.starts_with("&lt;") || rest.starts_with("&gt;") ||
          rest.starts_with("&quot;"));
  }
}

// A tag's inside: its name, then attributes whose values are quoted or plain words.
std::string_view TagName(std::string_view tag) {
  const std::size_t end = tag.find_first_of(" \r\n");
  const std::string_view name = tag.substr(0, end);
  std::string_view rest = end == std::string_view::npos ? "" : tag.substr(end);
  for (std::size_t quote = rest.find('"'); quote != std::string_view::npos;
       quote = rest.find('"')) {
    const std::size_t close = rest.find('"', quote + 1);
    Check(close != std::string_view::npos);
    CheckText(rest.substr(quote + 1, close - quote - 1));
    rest = rest.substr(close + 1);
  }
  Check(rest.find('<') == std::string_view::npos);
  return name;
}

// Script blocks are the template's own lines, except the slide lines, whose one string holds an
// address and nothing that could end it.
void CheckScript(std::string_view script) {
  constexpr std::string_view kSlide = "SLIDES.add_slide(new slide(\"";
  for (std::size_t at = script.find(kSlide); at != std::string_view::npos;
       at = script.find(kSlide, at + 1)) {
    const std::string_view rest = script.substr(at + kSlide.size());
    const std::size_t close = rest.find("\"))\r\n");
    Check(close != std::string_view::npos);
    for (const char c : rest.substr(0, close)) {
      Check(c != '"' && c != '\\' && c != '<' && static_cast<unsigned char>(c) >= 0x20);
    }
  }
}

void CheckPage(std::string_view page, const std::set<std::string_view>& tags) {
  std::size_t at = 0;
  while (at < page.size()) {
    const std::size_t open = page.find('<', at);
    CheckText(page.substr(at, open == std::string_view::npos ? std::string_view::npos : open - at));
    if (open == std::string_view::npos) break;
    const std::size_t close = page.find('>', open);
    Check(close != std::string_view::npos);
    const std::string_view name = TagName(page.substr(open + 1, close - open - 1));
    Check(tags.count(name) == 1);
    at = close + 1;
    if (name == "SCRIPT" &&
        page.substr(open, close - open).find("SRC=") == std::string_view::npos) {
      const std::size_t end = page.find("</SCRIPT>", at);
      Check(end != std::string_view::npos);
      CheckScript(page.substr(at, end - at));
      at = end;
    }
  }
}

const std::set<std::string_view> kLyricsTags = {
    "!DOCTYPE", "META", "style", "/style", "center", "/center", "H3", "/H3", "/HEAD",
    "BODY",     "br",   "p",     "/p",     "/body",  "/html",   "a",  "/a"};
const std::set<std::string_view> kSlideTags = {"HTML",   "HEAD",    "SCRIPT", "/SCRIPT", "STYLE",
                                               "/STYLE", "/HEAD",   "BODY",   "FORM",    "CENTER",
                                               "IMG",    "/CENTER", "/BODY",  "/HTML"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  webview::PageContent content;
  content.details = {in.ConsumeRandomLengthString(64), in.ConsumeRandomLengthString(64),
                     in.ConsumeRandomLengthString(8)};
  content.lyrics.present = in.ConsumeBool();
  const std::size_t tracks = in.ConsumeIntegralInRange<std::size_t>(0, 8);
  for (std::size_t i = 0; i < tracks; ++i) {
    content.songTitles.push_back(in.ConsumeRandomLengthString(64));
    content.lyrics.texts.push_back(in.ConsumeRandomLengthString(512));
  }
  const std::string folder = in.ConsumeRandomLengthString(64);
  std::vector<std::string> pictures;
  while (pictures.size() < 4 && in.remaining_bytes() > 0) {
    pictures.push_back(in.ConsumeRandomLengthString(64));
  }

  CheckPage(webview::LyricsIndexPage(content), kLyricsTags);
  for (std::size_t i = 0; i < tracks; ++i)
    CheckPage(webview::TrackLyricsPage(content, i), kLyricsTags);
  if (!pictures.empty()) CheckPage(webview::SlideshowPage(folder, pictures), kSlideTags);
  return 0;
}
