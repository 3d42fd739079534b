#include <CLI/CLI.hpp>

#include "cli/commands.h"

int main(int argc, char** argv) {
  CLI::App app{"MP3 - Lyrabinder: album files of MP3 tracks, lyrics and pictures",
               "lyrabinder-cli"};
  app.require_subcommand(1);
  int exitCode = 0;
  cli::AddAnalyseCommand(app, exitCode);
  cli::AddListCommand(app, exitCode);
  cli::AddExtractCommand(app, exitCode);
  cli::AddEncodeCommand(app, exitCode);
  cli::AddWebCommand(app, exitCode);
  cli::AddCueCommand(app, exitCode);
  cli::AddCreateCommand(app, exitCode);
  cli::AddDemoCommand(app, exitCode);
  cli::AddPlayCommand(app, exitCode);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int printed = app.exit(e);
    return printed == 0 ? 0 : 2;
  }
  return exitCode;
}
