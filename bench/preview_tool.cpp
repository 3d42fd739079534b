// Makes the web view's previews of the given pictures in a folder, the way the command line's
// `web` does: one process, the picture module loaded at the first picture, one picture after the
// other. Timed by bench/all.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

#include "platform/qt/picturemodule.h"
#include "webview/previews.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: preview_tool OUTPUT_FOLDER PICTURE...\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  platform::qt::LoadedPictureService service;
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
  if (!service.LoadError().empty()) std::cerr << service.LoadError() << '\n';
  return failures == 0 ? 0 : 1;
}
