#pragma once
// "view.js": the slideshow script that "view.htm" runs.
//
// The page creates `SLIDES = new slideshow("SLIDES")`, adds one `slide(url)` per preview with
// `add_slide`, binds its image with `set_image`, and drives it with `next`, `previous`,
// `play`, `pause` and `tomte` (rescale after 50 ms). `scale` fits the current slide into the
// frame: width = body width - 43, height in proportion; when that is taller than the body
// height - 38 (- 24 more under the buttons of a show of several slides), the height is fitted
// instead; never below 30 x 30. The show steps every 4500 ms while playing.

#include <string>

namespace webview {

/// The script text: 7-bit ASCII lines, each ended by CR LF.
std::string ViewScriptText();

/// The file "view.js": the script text followed by one more CR LF.
std::string ViewScriptFile();

}  // namespace webview
