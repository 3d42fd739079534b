#include <unistd.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/parallel.h"
#include "session/encodingrun.h"
#include "session/mp3encoder.h"
#include "wavpress/wavpress.h"

namespace cli {
namespace {

// One bar per running file; Ctrl-C stops every file at its next chunk.
class EncodeProgressLines final : public session::EncodingObserver {
 public:
  EncodeProgressLines(const std::vector<std::string>& files, bool force)
      : m_files(files), m_force(force), m_board(std::cout, isatty(STDOUT_FILENO) != 0) {}

  void FileStarted(std::size_t index) override { m_board.Start(index, m_files[index]); }
  bool FileProgress(std::size_t index, int percent) override {
    if (StopSignals::Requested()) return false;
    m_board.Update(index, percent);
    return true;
  }
  void FileEnded(const session::EncodedFile& file) override {
    m_board.Finish(file.index);
    if (file.note.empty()) return;
    // Replacing helps only where the output is another file than the input.
    const bool advise = file.status == session::FileStatus::Failed &&
                        file.cause == WAVPRESS_OUTPUT_EXISTS && !m_force &&
                        !base::SameFile(base::PathFromUtf8(m_files[file.index]), file.output);
    m_board.Print(std::cerr, file.note + (advise ? " (give --force to replace it)" : ""));
  }
  bool StopRequested() override { return StopSignals::Requested(); }

 private:
  const std::vector<std::string>& m_files;
  const bool m_force;
  ProgressBoard m_board;
};

}  // namespace

void AddEncodeCommand(CLI::App& app, int& exitCode) {
  auto* command =
      app.add_subcommand("encode", "Convert WAV files to 128 kbps MP3 files beside them");
  auto files = std::make_shared<std::vector<std::string>>();
  auto encoder = std::make_shared<std::string>("lame");
  auto force = std::make_shared<bool>(false);
  command->add_flag("--force", *force, "Replace existing MP3 files");
  command->add_option("--encoder", *encoder, "Encoder library")
      ->check(CLI::IsMember({"lame", "bladeenc"}))
      ->capture_default_str();
  command->add_option("WAV", *files, "WAV files")->required();
  command->callback([files, encoder, force, &exitCode] {
    const auto bridge = session::CreateWavpressEncoder();
    if (const std::string why = bridge->Unavailable(); !why.empty()) {
      std::cerr << "Cannot load " << WAVPRESS_LIBRARY_NAME << ": " << why << '\n';
      exitCode = 1;
      return;
    }
    // Ctrl-C, SIGTERM and SIGHUP stop the run the same way (each part kept or put aside, no
    // temporary file left).
    const StopSignals stopSignals;
    // Files are encoded in parallel; each output depends on its own input only, so the bytes are
    // those of a run one after the other.
    session::EncodingRun run(
        *bridge, {.files = *files,
                  .encoder = *encoder == "bladeenc" ? WAVPRESS_BLADEENC : WAVPRESS_LAME,
                  .replace = *force ? session::ReplaceRule::Always : session::ReplaceRule::Never,
                  .runner = [](std::size_t count, const std::function<void(std::size_t)>& job,
                               const std::function<bool()>& stopped) {
                    RunInParallel(count, WorkerCount(count), job, stopped);
                  }});
    EncodeProgressLines lines(*files, *force);
    const session::EncodingRunResult result = run.Run(lines, nullptr);
    std::cout << result.EndMessage() << '\n';
    exitCode = result.Stopped() || result.AnyFailed() ? 1 : 0;
  });
}

}  // namespace cli
