// Makes the web view's previews of the given pictures in a folder, the way an album's
// opening does: one process, one picture after the other. Used by previews.sh.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "platform/qt/qtpictureservice.h"
#include "webview/previews.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: preview_tool OUTPUT_FOLDER PICTURE...\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  platform::qt::QtPictureService service;
  int failures = 0;
  for (int i = 2; i < argc; ++i) {
    const std::filesystem::path picture = argv[i];
    std::ifstream in(picture, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    const auto preview = webview::MakePreview(service, bytes);
    std::ofstream out(folder / webview::PreviewFileName(picture.filename().string()),
                      std::ios::binary);
    if (!preview || !out.write(reinterpret_cast<const char*>(preview->data()),
                               static_cast<std::streamsize>(preview->size()))) {
      std::cerr << "no preview of " << picture << '\n';
      ++failures;
    }
  }
  return failures == 0 ? 0 : 1;
}
