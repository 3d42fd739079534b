#include <CLI/CLI.hpp>
#include <iostream>

#include "album/albumreader.h"
#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "webview/cuesheet.h"

namespace cli {

void AddCueCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("cue", "Write the CUE sheet of an album beside it");
  auto path = std::make_shared<std::string>();
  auto force = std::make_shared<bool>(false);
  command->add_option("ALBUM", *path, "Album file (*_LB.MP3)")->required();
  command->add_flag("--force", *force, "Replace an existing sheet");
  command->callback([=, &exitCode] {
    std::string question;
    const AlbumCue cue = WriteAlbumCue(*path, [&](std::string_view text) {
      question = text;
      return *force;
    });
    if (cue.opening == CueOpening::CannotOpen) {
      std::cerr << "Cannot open " << TerminalText(*path) << ": " << cue.error << '\n';
      exitCode = 1;
      return;
    }
    if (cue.opening == CueOpening::Damaged) {
      std::cerr << album::kDamagedMessage << '\n';
      exitCode = 1;
      return;
    }
    const webview::CueResult& result = cue.result;
    switch (result.status) {
      case webview::CueStatus::Written:
        std::cout << result.path << '\n' << webview::kCueCreatedMessage << '\n';
        exitCode = 0;
        return;
      case webview::CueStatus::Declined:
        // The question a window would ask, with the platform's line end.
        if (const auto cut = question.find("\r\n"); cut != std::string::npos) {
          question.replace(cut, 2, "\n");
        }
        std::cerr << question << '\n';
        exitCode = 1;
        return;
      case webview::CueStatus::NoAlbum:
      case webview::CueStatus::CannotWrite:
        std::cerr << (result.error.empty() ? "No album." : result.error) << '\n';
        exitCode = 1;
        return;
    }
  });
}

}  // namespace cli
