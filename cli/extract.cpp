#include <CLI/CLI.hpp>
#include <iostream>

#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/opening.h"
#include "session/extractionrun.h"

namespace cli {
namespace {

// Prints each item as it ends: the path written on stdout, a rename or a failure on stderr.
class PrintedExtraction final : public session::ExtractionFrontEnd {
 public:
  explicit PrintedExtraction(bool force) : m_force(force) {}
  void ItemEnded(const session::ItemOutcome& outcome) override {
    switch (outcome.status) {
      case session::ItemStatus::Renamed:
        std::cerr << TerminalText(outcome.text) << '\n';
        [[fallthrough]];
      case session::ItemStatus::Written:
        std::cout << TerminalText(base::Utf8FromPath(outcome.path)) << '\n';
        return;
      case session::ItemStatus::Kept:
        std::cerr << TerminalText(outcome.text) << (m_force ? "" : "; give --force to replace it")
                  << '\n';
        break;
      case session::ItemStatus::Failed:
      case session::ItemStatus::NotReached:
        std::cerr << TerminalText(outcome.text) << '\n';
        break;
    }
    failed = true;
  }
  bool failed = false;

 private:
  bool m_force;
};

}  // namespace

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
    session::ExtractionRun run(
        {opened.archive.source.get(), &items, chosen, base::PathFromUtf8(*folder), {}});
    PrintedExtraction printed(*force);
    (void)run.Run(printed, *force ? base::Replace::Allowed : base::Replace::Never);
    exitCode = printed.failed ? 1 : 0;
    if (exitCode == 0) std::cout << session::kExtractionCompletedMessage << '\n';
  });
}

}  // namespace cli
