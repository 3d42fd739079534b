#include <CLI/CLI.hpp>
#include <iostream>

#include "album/archive.h"
#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/opening.h"

namespace cli {

void AddExtractCommand(CLI::App& app, int& exitCode) {
  auto* command = app.add_subcommand("extract", "Copy items of an album or archive into a folder");
  auto path = std::make_shared<std::string>();
  auto folder = std::make_shared<std::string>();
  auto all = std::make_shared<bool>(false);
  auto indexes = std::make_shared<std::vector<int>>();
  auto force = std::make_shared<bool>(false);
  command->add_option("ALBUM", *path, "Album or AlbumWrap file")->required();
  command->add_option("--to", *folder, "Target folder")->required()->check(CLI::ExistingDirectory);
  auto* allFlag = command->add_flag("--all", *all, "Extract every item");
  auto* itemOption =
      command->add_option("--item", *indexes, "Item to extract (0-based line of `list`)");
  allFlag->excludes(itemOption);
  command->add_flag("--force", *force, "Replace existing files the user may write");
  command->callback([=, &exitCode] {
    if (!*all && indexes->empty()) {
      std::cerr << "Give --all or at least one --item.\n";
      exitCode = 2;
      return;
    }
    OpenedFile opened;
    if (!OpenForReading(*path, opened)) {
      exitCode = 1;
      return;
    }
    const auto& items = opened.archive.items;
    std::vector<std::size_t> chosen;
    if (*all) {
      for (std::size_t i = 0; i < items.size(); ++i) chosen.push_back(i);
    }
    for (const int index : *indexes) {
      if (index < 0 || static_cast<std::size_t>(index) >= items.size()) {
        std::cerr << "No item " << index << ": the file has " << items.size() << " items.\n";
        exitCode = 2;
        return;
      }
      chosen.push_back(static_cast<std::size_t>(index));
    }
    exitCode = 0;
    album::Extraction extraction(*opened.archive.source, base::PathFromUtf8(*folder),
                                 *force ? base::Replace::Allowed : base::Replace::Never);
    for (const std::size_t i : chosen) {
      std::string error;
      bool existed = false;
      const auto written = extraction.Extract(items[i], error, existed);
      if (!written) {
        if (existed && !*force) error += "; give --force to replace it";
        std::cerr << TerminalText(error) << '\n';
        exitCode = 1;
        continue;
      }
      const std::string path = base::Utf8FromPath(written->path);
      if (written->renamed) {
        std::cerr << "Item " << i << ": its name is taken (by the album or an earlier item); "
                  << "written as " << TerminalText(path) << '\n';
      }
      std::cout << TerminalText(path) << '\n';
    }
    if (exitCode == 0) std::cout << "File(s) Extraction Completed.\n";
  });
}

}  // namespace cli
