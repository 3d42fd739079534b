#pragma once
// The pages of the web view. Generators return the whole file as Windows-1252 text with CR LF
// line ends; WriteWebView writes them into the web folder.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/fileio.h"
#include "webview/lyrics.h"
#include "webview/webfolder.h"

namespace webview {

/// What the lyrics pages show. Texts are UTF-8 except the lyrics (as stored).
struct PageContent {
  DetailTexts details;
  std::vector<std::string> songTitles;  ///< as stored: 50 characters with their padding
  LyricTable lyrics;
};

/// "&", "<", ">" and '"' as character references, so that no text of an album becomes
/// markup.
std::string HtmlEscape(std::string_view text);

/// Lines joined by CR LF, the last one ended too.
std::string JoinLines(const std::vector<std::string>& lines);

/// Writes a whole text file (replacing one of that name only once complete, and only with
/// Replace::Allowed). False, with "cannot write PATH: reason" in `error`, on failure.
[[nodiscard]] bool WriteTextFile(const std::string& path, const std::string& text,
                                 std::string& error,
                                 base::Replace replace = base::Replace::Allowed);

/// The address of a preview in `folder` for the slide list and (first picture) the image
/// element. On Windows the pages' own form: "file:///" + folder with "/" (slides) or as it
/// stands (image). Elsewhere a file URL: "file://" + the absolute path with every byte
/// outside A-Z a-z 0-9 - . _ ~ / percent-encoded. UTF-8.
std::string PreviewAddress(std::string_view folder, std::string_view previewName,
                           bool forSlideList);

std::string MainFramesetPage();
/// "dynamic" + n + ".htm" (n 1-based).
std::string TrackFramesetPage(int n);
/// The slideshow page; `pictureNames` must not be empty.
std::string SlideshowPage(std::string_view folder, const std::vector<std::string>& pictureNames);
std::string NoPicturesPage();
/// "lyrics.htm": an index of the tracks, then every track's lyrics.
std::string LyricsIndexPage(const PageContent& content);
/// "lyrics" + (track + 1) + ".htm".
std::string TrackLyricsPage(const PageContent& content, std::size_t track);

enum class PageWriteStatus {
  Ok,
  WriteFailed,  ///< a page the view needs could not be written
};

struct WebViewWriteResult {
  PageWriteStatus status = PageWriteStatus::Ok;
  std::string error;                  ///< the page that could not be written, and why
  std::vector<std::string> warnings;  ///< failures that do not stop the writing
  bool ok() const { return status == PageWriteStatus::Ok; }
};

/// Writes the pages into `folder`: the main frameset (only when no file of that name is there,
/// unless `rewriteMainPage`), "view.js", "view.htm" (the no-pictures page, with
/// "vrnprog2.gif" copied from `dataFolder`, when `pictureNames` is empty), "lyrics.htm", and
/// for each track its lyrics page and its frameset. Failures of "view.js", "view.htm" and
/// the picture copy are warnings; any other failure stops the writing.
[[nodiscard]] WebViewWriteResult WriteWebView(WebFolder& folder, const PageContent& content,
                                              const std::vector<std::string>& pictureNames,
                                              std::string_view dataFolder,
                                              bool rewriteMainPage = false);

/// How many files WriteWebView and the previews put into a folder.
std::size_t WebViewFileCount(std::size_t tracks, std::size_t pictures);

}  // namespace webview
