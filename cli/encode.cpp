#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "base/fileio.h"
#include "cli/commands.h"
#include "cli/parallel.h"
#include "wavpress/bridge.h"
#include "wavpress/outputname.h"

namespace cli {
namespace {

constexpr const char* kCompleteMessage = "Encoding Complete !";
constexpr const char* kCancelledMessage = "Encoding Cancelled !";

// What the progress callback draws on; it is a plain C callback, called on the thread that
// encodes, so the file's number is that thread's own.
ProgressBoard* g_board = nullptr;
thread_local std::size_t t_file = 0;

// Ctrl-C stops every file at its next chunk. Nothing may be thrown back into the bridge: a bar
// that cannot be drawn does not stop the encoding.
std::int32_t OnProgress(std::int32_t percent) {
  if (StopSignals::Requested()) return 0;
  try {
    g_board->Update(t_file, percent);
  } catch (...) {
  }
  return 1;
}

// Files whose outputs could be the same file ("a.wav" and "a.WAV" both make "a.mp3") must not be
// encoded at once. The key errs on the safe side: the folder and the name up to its first dot.
std::string OutputClashKey(const std::string& file) {
  const std::filesystem::path path(file);
  std::error_code error;
  std::filesystem::path folder = std::filesystem::weakly_canonical(
      path.has_parent_path() ? path.parent_path() : std::filesystem::path("."), error);
  if (error) folder = path.parent_path();
  const std::string name = path.filename().string();
  return (folder / name.substr(0, name.find('.'))).string();
}

// Indexes of `files` in groups that may run at once; each group in the given order.
std::vector<std::vector<std::size_t>> ClashFreeGroups(const std::vector<std::string>& files) {
  std::vector<std::vector<std::size_t>> groups;
  std::map<std::string, std::size_t> groupOfKey;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const auto [found, added] = groupOfKey.emplace(OutputClashKey(files[i]), groups.size());
    if (added) groups.emplace_back();
    groups[found->second].push_back(i);
  }
  return groups;
}

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
    const wavpress::LoadedBridge bridge;
    if (!bridge.IsLoaded()) {
      std::cerr << "Cannot load " << WAVPRESS_LIBRARY_NAME << ": " << bridge.Error() << '\n';
      exitCode = 1;
      return;
    }
    bridge.SetEncoder(*encoder == "bladeenc" ? WAVPRESS_BLADEENC : WAVPRESS_LAME);
    bridge.SetReplaceExisting(*force);
    // Ctrl-C, SIGTERM and SIGHUP stop the run the same way (each part kept or put aside, no
    // temporary file left).
    const StopSignals stopSignals;
    ProgressBoard board(std::cout, isatty(STDOUT_FILENO) != 0);
    g_board = &board;
    const WavpressProgress progress = &OnProgress;
    // Files are encoded in parallel; each output depends on its own input only, so the bytes are
    // those of a run one after the other.
    std::vector<std::int32_t> results(files->size(), WAVPRESS_STOPPED);
    const std::vector<std::vector<std::size_t>> groups = ClashFreeGroups(*files);
    RunInParallel(
        groups.size(), WorkerCount(groups.size()),
        [&](std::size_t group) {
          // Outputs this group wrote: a later input never replaces one of them.
          std::vector<std::filesystem::path> written;
          for (const std::size_t i : groups[group]) {
            if (StopSignals::Requested()) return;
            const std::string& file = (*files)[i];
            const std::filesystem::path usual = base::PathFromUtf8(wavpress::Mp3PathFor(file));
            const std::filesystem::path output = wavpress::RunOutputFor(file, written);
            t_file = i;
            board.Start(i, file);
            results[i] = output == usual
                             ? bridge.EncodeMp3(file.c_str(), &progress)
                             : bridge.EncodeMp3As(file.c_str(), output.c_str(), &progress);
            board.Finish(i);
            // The cause is this thread's own: each worker asks right after its call.
            std::string why;
            const std::int32_t cause = bridge.LastFailure(why);
            if (results[i] == WAVPRESS_OK) {
              written.push_back(output);
              if (output != usual) board.Print(std::cerr, wavpress::WrittenAsNote(file, output));
            } else if (results[i] == WAVPRESS_STOPPED) {
              // Says where a part went that could not take its output's place.
              if (!why.empty()) board.Print(std::cerr, why);
            } else {
              // Replacing helps only where the output is another file than the input.
              const bool advise =
                  cause == WAVPRESS_OUTPUT_EXISTS && !*force && !base::SameFile(file, output);
              board.Print(std::cerr, std::string(wavpress::kEncodingFailed) + why +
                                         (advise ? " (give --force to replace it)" : ""));
            }
          }
        },
        [] { return StopSignals::Requested(); });
    g_board = nullptr;
    const auto count = [&](std::int32_t result) {
      return std::count(results.begin(), results.end(), result);
    };
    // A file not started counts as stopped: only Ctrl-C leaves one.
    const bool cancelled = StopSignals::Requested() || count(WAVPRESS_STOPPED) > 0;
    const bool failed =
        count(WAVPRESS_OK) + count(WAVPRESS_STOPPED) < static_cast<std::ptrdiff_t>(results.size());
    std::cout << (cancelled ? kCancelledMessage : kCompleteMessage) << '\n';
    exitCode = cancelled || failed ? 1 : 0;
  });
}

}  // namespace cli
