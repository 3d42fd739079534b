#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "album/albumformat.h"
#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "platform/qt/picturemodule.h"
#include "platform/system/folders.h"
#include "webview/opening.h"
#include "webview/pages.h"

namespace cli {
namespace {

// From this many files on, a run says what it is about to write before it starts.
constexpr std::size_t kLargeWebView = 1000;

}  // namespace

void AddWebCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("web", "Write the web view of an album and print its folder");
  auto path = std::make_shared<std::string>();
  auto open = std::make_shared<bool>(false);
  command->add_option("ALBUM", *path, "Album file (*_LB.MP3)")->required();
  command->add_flag("--open", *open, "Open the main page in the desktop's browser");
  command->callback([=, &exitCode] {
    auto source = OpenSource(*path);
    if (!source) {
      exitCode = 1;
      return;
    }
    album::AlbumReader reader(*source);
    KeepPictureMemory();
    platform::qt::LoadedPictureService pictures;
    webview::OpeningOptions options;
    options.tempFolder = platform::TempFolder();
    options.dataFolder = ProgramDataFolder();
    options.beforeRegeneration = [&reader] {
      const std::size_t tracks = reader.TrackTable().size();
      const std::size_t files = webview::WebViewFileCount(tracks, reader.Pictures().size());
      if (files >= kLargeWebView) {
        std::cerr << "Writing " << files << " files (pages and previews) for " << tracks
                  << " tracks.\n";
      }
    };
    // The command line only reads the album: no opened mark is written.
    const webview::WebViewOpening opening =
        webview::OpenWebView(*source, reader, album::TagWriter{}, pictures, options);
    for (const std::string& warning : opening.warnings) std::cerr << warning << '\n';
    // The pages are written without previews then, but the run did not do its work.
    if (!pictures.LoadError().empty()) {
      std::cerr << pictures.LoadError() << '\n';
      exitCode = 1;
      return;
    }
    switch (opening.status) {
      case webview::OpeningStatus::Ok:
        break;
      case webview::OpeningStatus::NotAlbum:
      case webview::OpeningStatus::Damaged:
        std::cerr << album::kDamagedMessage << '\n';
        exitCode = 1;
        return;
      case webview::OpeningStatus::FolderFailed:
      case webview::OpeningStatus::WriteFailed:
        std::cerr << opening.error << '\n';
        exitCode = 1;
        return;
    }
    std::cout << opening.folder << '\n';
    exitCode = 0;
    if (*open) {
      const std::string page = opening.folder + std::string(webview::kMainPageName);
      if (!RunProgram({"xdg-open", page})) {
        std::cerr << "Cannot open " << page << " in a browser.\n";
        exitCode = 1;
      }
    }
  });
}

}  // namespace cli
