#pragma once
// The subcommands of lyrabinder-cli. Each adds itself to the app and sets `exitCode` when it runs:
// 0 success, 1 failure (the system's message on stderr), 2 bad usage.

namespace CLI {
class App;
}

namespace cli {

void AddAnalyseCommand(CLI::App& app, int& exitCode);
void AddListCommand(CLI::App& app, int& exitCode);
void AddExtractCommand(CLI::App& app, int& exitCode);
void AddEncodeCommand(CLI::App& app, int& exitCode);
void AddWebCommand(CLI::App& app, int& exitCode);
void AddCueCommand(CLI::App& app, int& exitCode);
void AddCreateCommand(CLI::App& app, int& exitCode);
void AddDemoCommand(CLI::App& app, int& exitCode);
void AddPlayCommand(CLI::App& app, int& exitCode);

}  // namespace cli
