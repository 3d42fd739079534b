#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstring>
#include <iterator>

#include "base/fileio.h"
#include "cli/commands.h"

namespace {

struct Command {
  const char* name;  // as the command names itself; a name missed here only costs time
  void (*add)(CLI::App&, int&);
};

const Command kCommands[] = {
    {"analyse", cli::AddAnalyseCommand}, {"list", cli::AddListCommand},
    {"extract", cli::AddExtractCommand}, {"encode", cli::AddEncodeCommand},
    {"web", cli::AddWebCommand},         {"cue", cli::AddCueCommand},
    {"create", cli::AddCreateCommand},   {"demo", cli::AddDemoCommand},
    {"play", cli::AddPlayCommand},
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"MP3 - Lyrabinder: album files of MP3 tracks, lyrics and pictures",
               "lyrabinder-cli"};
  app.require_subcommand(1);
  int exitCode = 0;
  // Setting up every command is half the work of a short run such as `analyse`: when the first
  // argument names one, only that one is set up.
  const auto named =
      std::find_if(std::begin(kCommands), std::end(kCommands),
                   [&](const Command& c) { return argc > 1 && std::strcmp(argv[1], c.name) == 0; });
  for (const Command& command : kCommands) {
    if (named == std::end(kCommands) || &command == named) command.add(app, exitCode);
  }
  // A run ended by a signal leaves no unfinished file behind (encode and play set their own).
  const base::RemoveTemporaryFilesOnSignals cleanup;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int printed = app.exit(e);
    return printed == 0 ? 0 : 2;
  }
  return exitCode;
}
